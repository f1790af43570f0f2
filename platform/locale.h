// The user's default locale identifier. Natively a stand-in derived from the
// locale environment (LC_ALL, LC_MESSAGES, LANG).
#pragma once

#include "platform/types.h"

#ifdef _WIN32
#include <windows.h>
#else

LCID GetUserDefaultLCID();

// Makes GetUserDefaultLCID() return lcid; 0 goes back to the environment.
void SetUserDefaultLCIDForTesting(LCID lcid);
#endif
