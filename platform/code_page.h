// The platform's code-page conversion and ANSI code page. Natively these are
// stand-ins over iconv with the Win32 names and signatures.
#pragma once

#include "platform/types.h"

#ifdef _WIN32
#include <windows.h>
#else

inline constexpr UINT CP_ACP = 0;
inline constexpr UINT CP_OEMCP = 1;
inline constexpr UINT CP_THREAD_ACP = 3;
inline constexpr UINT CP_UTF7 = 65000;
inline constexpr UINT CP_UTF8 = 65001;
inline constexpr DWORD MB_ERR_INVALID_CHARS = 0x08;
inline constexpr DWORD WC_ERR_INVALID_CHARS = 0x80;

int MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCSTR lpMultiByteStr, int cbMultiByte,
                        LPWSTR lpWideCharStr, int cchWideChar);
int WideCharToMultiByte(UINT CodePage, DWORD dwFlags, LPCWSTR lpWideCharStr, int cchWideChar,
                        LPSTR lpMultiByteStr, int cbMultiByte, LPCSTR lpDefaultChar,
                        LPBOOL lpUsedDefaultChar);
// The ANSI code page of the locale environment (LC_ALL, LC_MESSAGES, LANG).
UINT GetACP();
// The OEM code page that goes with GetACP().
UINT GetOEMCP();

// Makes GetACP() return codePage; 0 goes back to the environment.
void SetAnsiCodePageForTesting(UINT codePage);
#endif
