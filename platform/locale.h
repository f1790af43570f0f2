// The user's default locale identifier. Natively a stand-in derived from the
// locale environment (LC_ALL, then LC_MESSAGES, then LANG).
#pragma once

#include "platform/types.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <string>
#include <string_view>

LCID GetUserDefaultLCID();

// Makes GetUserDefaultLCID() return lcid; 0 goes back to the environment.
void SetUserDefaultLCIDForTesting(LCID lcid);

// The first non-empty of LC_ALL, LC_MESSAGES and LANG; empty when none is set.
std::string LocaleEnvironmentName();

// The locale identifier of a POSIX locale name ("de_AT.UTF-8" -> 0x0C07). A
// language without a country gets its usual one; C, POSIX, empty and unknown
// names give English (United States), 0x0409.
LCID LcidFromLocaleName(std::string_view name);
#endif
