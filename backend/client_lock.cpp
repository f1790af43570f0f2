#include "backend/client_lock.h"

#include "text/exceptions.h"

namespace {

// One lock for the whole process, constructed before main runs. Not
// recursive: no thread takes it twice.
std::mutex g_clientMutex;

}  // namespace

// The lock member is initialised first, so a client that cannot be created
// leaves the lock released again as the constructor unwinds.
ClientLock::ClientLock(const TranslationOptions& options)
    : lock_(g_clientMutex), client_(std::make_unique<HybridClient>(options)) {}

ClientLock::~ClientLock() {
    Release();
}

void ClientLock::Release() {
    client_.reset();
    if (lock_.owns_lock()) {
        lock_.unlock();
    }
}

HybridClient& ClientLock::Client() {
    if (!client_) {
        throw StringException("The back-end client lock has been released.");
    }
    return *client_;
}

std::u16string ClientLock::TranslateSegment(std::u16string_view source) {
    return Client().TranslateSegment(source);
}
