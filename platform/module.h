// The program's own file name and resources, and the file search that tells
// whether a path exists. Windows takes them from the system; the native build
// maps Windows paths onto the POSIX file system (backslashes become slashes, a
// drive letter such as "Z:" is dropped).
#pragma once

#include <string>
#include <string_view>

#include "platform/types.h"

#ifdef _WIN32
#include <windows.h>
#else

inline constexpr DWORD FILE_ATTRIBUTE_READONLY = 0x01;
inline constexpr DWORD FILE_ATTRIBUTE_DIRECTORY = 0x10;
inline constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x80;

struct WIN32_FIND_DATAA {
    DWORD dwFileAttributes;
    FILETIME ftCreationTime;
    FILETIME ftLastAccessTime;
    FILETIME ftLastWriteTime;
    DWORD nFileSizeHigh;
    DWORD nFileSizeLow;
    DWORD dwReserved0;
    DWORD dwReserved1;
    CHAR cFileName[MAX_PATH];
    CHAR cAlternateFileName[14];
};
using LPWIN32_FIND_DATAA = WIN32_FIND_DATAA*;

// The running program's path in Windows form ("Z:\dir\program"). As on
// Windows, a buffer that is too small gets the truncated path with its
// terminator, the result is `size` and the last error ERROR_INSUFFICIENT_BUFFER.
// Only the program itself (module null) is known.
DWORD GetModuleFileNameA(HMODULE module, LPSTR fileName, DWORD size);

// Directory entries matching a path whose last component may hold * and ?
// (matched without regard to case). INVALID_HANDLE_VALUE with the last error
// set when nothing matches.
HANDLE FindFirstFileA(LPCSTR fileName, LPWIN32_FIND_DATAA data);
BOOL FindNextFileA(HANDLE find, LPWIN32_FIND_DATAA data);
BOOL FindClose(HANDLE find);

// Makes GetModuleFileNameA report `path` (taken verbatim) instead of the real
// program; null goes back to the real one.
void SetModuleFileNameForTesting(const char* path);
#endif

// The running program's path as UTF-8, whatever the ANSI code page (Windows
// asks for the wide name); false with the last error set when it cannot be
// had.
bool ModuleFileNameUtf8(std::string& path);

// The bytes of resource `id` of type `type` in the program's own file; empty
// when it has none (always in the native build, whose programs carry none).
std::string_view ModuleResource(int id, const char* type);
