// The process-wide lock on back-end work. Holding it means owning the one
// HybridClient, made from the options of the job or query that holds it.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "backend/hybrid_client.h"
#include "backend/translation_options.h"

class ClientLock {
  public:
    // Waits for the lock, then creates the client from a copy of `options`.
    explicit ClientLock(const TranslationOptions& options);
    // Releases if Release() has not been called.
    ~ClientLock();
    ClientLock(const ClientLock&) = delete;
    ClientLock& operator=(const ClientLock&) = delete;

    // Destroys the client, then lets the next holder in. Repeating it does nothing.
    void Release();
    bool Held() const { return lock_.owns_lock(); }

    // The client while the lock is held; throws StringException after Release().
    HybridClient& Client();
    std::u16string TranslateSegment(std::u16string_view source);

  private:
    std::unique_lock<std::mutex> lock_;  // first: taken before the client exists
    std::unique_ptr<HybridClient> client_;
};
