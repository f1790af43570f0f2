// DravikEngineTranslationThread: the job loop bound to the hybrid back end. It
// holds the process-wide ClientLock, and with it the back-end client made from
// the job's options, for its whole run.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "backend/client_lock.h"
#include "backend/translation_options.h"
#include "jobs/engine_translation_thread.h"

class DravikEngineTranslationThread : public EngineTranslationThread {
  public:
    // Reads the options text (the job's only source of its language pair).
    DravikEngineTranslationThread(std::u16string_view options, IDispatch* source, IDispatch* sink);
    ~DravikEngineTranslationThread() override;

    // Waits for ClientLock, runs the job loop and releases the lock, also
    // when the loop raises. When the back-end client cannot be created the
    // sink is told Complete(0) before the failure ends the run.
    void Run() override;

    // The back-end client's markup for the chunk, unchanged.
    std::u16string TranslateSegment(std::u16string_view chunk) override;

  private:
    void ReleaseLock();

    std::unique_ptr<ClientLock> lock_;  // exists only while Run runs
    TranslationOptions options_;
};
