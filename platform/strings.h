// String routines of the Win32 API that the engine relies on by name.
#pragma once

#include "platform/types.h"

#ifndef _WIN32
// Case-insensitive comparison of two zero-terminated strings (ASCII letters
// fold; other bytes compare by value). Negative, zero or positive as strcmp.
int lstrcmpiA(LPCSTR first, LPCSTR second);
#endif
