#include "jobs/engine_translation_thread.h"

#include "platform/threads.h"
#include "platform/unique_bstr.h"
#include "text/exceptions.h"

EngineTranslationThread::EngineTranslationThread(std::u16string_view, IDispatch* source,
                                                 IDispatch* sink)
    : OLECallThread(INFINITE) {
    // A refusing object leaves its slot null; the result code is not needed.
    if (source != nullptr) {
        source->QueryInterface(IID_ITranslationSource, source_.put_void());
    }
    if (sink != nullptr) {
        sink->QueryInterface(IID_ITranslationSink, sink_.put_void());
    }
}

EngineTranslationThread::~EngineTranslationThread() {
    sink_.reset();
    source_.reset();
}

void EngineTranslationThread::Run() {
    struct ReleaseAtEnd {
        EngineTranslationThread& job;
        ~ReleaseAtEnd() { job.ReleaseHostObjects(); }
    } releaseAtEnd{*this};

    bool failed = false;
    try {
        while (!failed) {
            UniqueBstr chunk = ReadNext(failed);
            const std::u16string_view text = TextViewUpToNul(chunk.get());
            if (failed || text.empty()) {
                break;
            }
            std::u16string markup = TranslateSegment(text);
            // Large chunks are held as few times over as possible.
            chunk.reset();
            Write(std::move(markup));
        }
        Complete(true);
    } catch (...) {
        Complete(false);
        throw;
    }
}

void EngineTranslationThread::ReleaseHostObjects() {
    sink_.reset();
    source_.reset();
}

void EngineTranslationThread::CompleteFailedQuietly() {
    try {
        if (sink_) {
            Complete(false);
        }
    } catch (...) {
        // The job is failing already; there is nobody left to tell.
    }
    ReleaseHostObjects();
}

UniqueBstr EngineTranslationThread::ReadNext(bool& failed) {
    UniqueBstr chunk;
    try {
        if (!source_) {
            throw HResultException(E_NOINTERFACE);
        }
        ThrowIfFailed(source_->ReadChunk(chunk.put()));
    } catch (...) {
        failed = true;
    }
    return chunk;
}

void EngineTranslationThread::Write(std::u16string markup) {
    if (!sink_) {
        throw HResultException(E_NOINTERFACE);
    }
    UniqueBstr copy = CopyToBstr(markup);
    if (!copy) {
        throw HResultException(E_OUTOFMEMORY);
    }
    std::u16string().swap(markup);
    ThrowIfFailed(sink_->WriteChunk(copy.get()));
}

void EngineTranslationThread::Complete(bool completed) {
    if (!sink_) {
        throw HResultException(E_NOINTERFACE);
    }
    sink_->Complete(static_cast<unsigned char>(completed ? 1 : 0));
}
