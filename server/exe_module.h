// The server module: the process-wide lock count that keeps the server alive
// while engine objects exist, and the class object it publishes.
#pragma once

#include "platform/com.h"
#include "platform/com_server.h"

namespace server {

class CExeModule {
  public:
    // Remembers the thread that runs the message loop; the quit message goes there.
    void Init(DWORD mainThreadId);

    // Interlocked; return the new count. The Unlock that reaches 0 suspends
    // the class objects and, if that succeeds, posts WM_QUIT to the main thread.
    LONG Lock();
    LONG Unlock();
    LONG LockCount() const;

    // Publishes the class factory of TranslationEngine as a multi-use local
    // server, and withdraws it.
    HRESULT RegisterClassObjects();
    HRESULT RevokeClassObjects();

  private:
    volatile LONG lockCount_ = 0;
    DWORD mainThreadId_ = 0;
    DWORD classCookie_ = 0;
    bool classRegistered_ = false;
};

// One per process.
CExeModule& Module();

}  // namespace server
