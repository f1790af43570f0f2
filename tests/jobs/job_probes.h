// Jobs made for tests: they record what the thread framework does with them
// and can be held at chosen points.
#pragma once

#include <atomic>
#include <stdexcept>
#include <string>
#include <string_view>

#include "jobs/engine_translation_thread.h"
#include "jobs/ole_call_thread.h"
#include "platform/threads.h"
#include "platform/unique_handle.h"

namespace jobs_test {

// Hang guard for waits that must succeed; never reached when things work.
inline constexpr DWORD kGuardMs = 30000;

inline UniqueHandle ManualEvent() {
    return UniqueHandle(CreateEventA(nullptr, TRUE, FALSE, nullptr));
}

struct Probe {
    std::atomic<int> started{0};
    std::atomic<int> ran{0};
    std::atomic<int> aborted{0};
    std::atomic<int> destroyed{0};
    std::atomic<HRESULT> apartmentInRun{E_UNEXPECTED};
    UniqueHandle destroyedEvent = ManualEvent();
};

struct Behaviour {
    bool throwInConstructor = false;
    bool throwInOnStart = false;
    bool throwInRun = false;
    HANDLE runGate = nullptr;   // Run waits for it
    HANDLE exitGate = nullptr;  // OnExit waits for it after signalling the done event
};

class ProbeJob final : public OLECallThread {
  public:
    ProbeJob(Probe& probe, Behaviour behaviour)
        : OLECallThread(INFINITE), probe_(probe), behaviour_(behaviour) {
        if (behaviour_.throwInConstructor) {
            throw std::runtime_error("constructor");
        }
    }
    ~ProbeJob() override {
        ++probe_.destroyed;
        SetEvent(probe_.destroyedEvent.get());
    }

    void OnStart() override {
        OLECallThread::OnStart();
        ++probe_.started;
        if (behaviour_.throwInOnStart) {
            throw std::runtime_error("OnStart");
        }
    }
    void Run() override {
        ++probe_.ran;
        // Joining again only nests when OnStart has joined the same apartment.
        probe_.apartmentInRun = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        if (SUCCEEDED(probe_.apartmentInRun.load())) {
            CoUninitialize();
        }
        if (behaviour_.runGate != nullptr) {
            WaitForSingleObject(behaviour_.runGate, kGuardMs);
        }
        if (behaviour_.throwInRun) {
            throw std::runtime_error("Run");
        }
    }
    void OnAbort() override { ++probe_.aborted; }
    void OnExit() override {
        OLECallThread::OnExit();
        if (behaviour_.exitGate != nullptr) {
            WaitForSingleObject(behaviour_.exitGate, kGuardMs);
        }
    }

  private:
    Probe& probe_;
    Behaviour behaviour_;
};

// A job loop whose translation is the chunk in brackets; a chunk "boom"
// raises instead.
class EchoJob final : public EngineTranslationThread {
  public:
    EchoJob(IDispatch* source, IDispatch* sink, std::atomic<int>* translations = nullptr)
        : EngineTranslationThread(u"", source, sink), translations_(translations) {}

    std::u16string TranslateSegment(std::u16string_view chunk) override {
        if (translations_ != nullptr) {
            ++*translations_;
        }
        if (chunk == u"boom") {
            throw std::runtime_error("translation failed");
        }
        std::u16string markup(1, u'[');
        markup.append(chunk);
        markup.push_back(u']');
        return markup;
    }

  private:
    std::atomic<int>* translations_;
};

// Runs a built job the way Translate does, but keeps the job alive until its
// thread has ended so that its final state can be read.
inline ThreadState RunToEnd(OLECallThread* job) {
    job->AddRef();
    job->Resume();
    job->WaitForCompletion();
    WaitForSingleObject(job->Handle(), kGuardMs);
    const ThreadState state = job->State();
    job->Release();
    return state;
}

}  // namespace jobs_test
