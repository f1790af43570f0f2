// EngineTranslationThread: the job loop of one Translate call. On its worker
// thread it reads the host's source chunk by chunk, translates each chunk with
// TranslateSegment, writes the markup to the host's sink and finally tells the
// sink whether the job completed.
#pragma once

#include <string>
#include <string_view>

#include "jobs/host_interfaces.h"
#include "jobs/ole_call_thread.h"
#include "platform/com.h"
#include "platform/com_ptr.h"
#include "platform/unique_bstr.h"

class EngineTranslationThread : public OLECallThread {
  public:
    // Creates the suspended worker and its done event, then asks `source` for
    // ITranslationSource and `sink` for ITranslationSink (either may be null
    // or refuse; the loop then treats it as described in Run). The options
    // text is for subclasses; this class does not keep it.
    EngineTranslationThread(std::u16string_view options, IDispatch* source, IDispatch* sink);
    ~EngineTranslationThread() override;

    // Reads, translates and writes until the source yields an empty chunk or
    // fails, then calls Complete(1). Anything raised while translating or
    // writing calls Complete(0) and is raised again.
    void Run() override;

    // The markup for one chunk of source text.
    virtual std::u16string TranslateSegment(std::u16string_view chunk) = 0;

  protected:
    // Tells the sink that the job failed when the loop could not even start;
    // does nothing without a sink and never raises. Lets the host's objects go.
    void CompleteFailedQuietly();

    // Releases the sink, then the source. Done on the worker while it is still
    // in the apartment: the job's last release may come after the worker has
    // left it, when the server may already be shutting COM down.
    void ReleaseHostObjects();

  private:
    // The next chunk as the source gave it; sets `failed` instead of raising
    // when the source is missing or its read fails.
    UniqueBstr ReadNext(bool& failed);
    // Hands the markup to the sink; the markup is released as soon as the
    // sink's copy exists.
    void Write(std::u16string markup);
    void Complete(bool completed);

    ComPtr<ITranslationSource> source_;
    ComPtr<ITranslationSink> sink_;
};
