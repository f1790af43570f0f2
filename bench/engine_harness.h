// The engine as a host in this process drives it: an engine object reached
// through IQNSTranslationEngine, and a source and sink of the host's kind.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "jobs/automation_object.h"
#include "jobs/host_interfaces.h"
#include "platform/com_ptr.h"
#include "platform/unique_bstr.h"
#include "server/engine_interface.h"

namespace bench {

// Options of a job from Arabic to English, a direction the back end serves.
inline constexpr char16_t kArabicToEnglish[] =
    u"<t:Option Name=\"SourceLanguage\">ar</t:Option>"
    u"<t:Option Name=\"TranslationLanguage\">en</t:Option>";

// Joins the multithreaded apartment for the life of the object.
class Apartment {
  public:
    Apartment();
    ~Apartment();
    Apartment(const Apartment&) = delete;
    Apartment& operator=(const Apartment&) = delete;
};

// A new engine object in this process (the calling thread must be in the
// apartment); an empty pointer when it could not be made.
ComPtr<IQNSTranslationEngine> CreateEngine();

// Hands out its chunks in order, then empty text (the end of the input).
class ChunkSource final
    : public AutomationObject<ChunkSource, ITranslationSource, IID_ITranslationSource> {
  public:
    explicit ChunkSource(const std::vector<std::u16string>& chunks) : chunks_(chunks) {}
    HRESULT STDMETHODCALLTYPE ReadChunk(BSTR* chunk) override;

  private:
    const std::vector<std::u16string>& chunks_;
    std::size_t next_ = 0;
};

// Counts what the job writes and keeps the last piece of markup.
class CountingSink final
    : public AutomationObject<CountingSink, ITranslationSink, IID_ITranslationSink> {
  public:
    HRESULT STDMETHODCALLTYPE WriteChunk(BSTR markup) override;
    HRESULT STDMETHODCALLTYPE Complete(unsigned char completed) override;

    std::size_t Chunks() const { return chunks_; }
    std::size_t Completions() const { return completions_; }
    bool Completed() const { return completed_; }
    const std::u16string& Last() const { return last_; }

  private:
    std::size_t chunks_ = 0;
    std::size_t completions_ = 0;
    bool completed_ = false;
    std::u16string last_;
};

// Runs one Translate job over `chunks`; true when every chunk came back and
// the job completed with success.
bool RunJob(IQNSTranslationEngine& engine, BSTR options, const std::vector<std::u16string>& chunks);

// One TranslateText call; the markup it returned (empty on failure).
UniqueBstr TranslateText(IQNSTranslationEngine& engine, BSTR options, BSTR source);

}  // namespace bench
