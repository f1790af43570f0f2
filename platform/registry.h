// The narrow-character registry functions and recursive key deletion. Windows
// takes them from the system; the native build keeps the same keys and values
// in a store file of its own (platform/native/registry_*.cpp).
#pragma once

#include <string>
#include <string_view>

#include "platform/types.h"

#ifdef _WIN32
#include <windows.h>
#include <shlwapi.h>
#else

struct HKEY__;
using HKEY = HKEY__*;
using PHKEY = HKEY*;
using REGSAM = DWORD;
using LSTATUS = LONG;

#define HKEY_CLASSES_ROOT \
    (reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(static_cast<LONG>(0x80000000))))
#define HKEY_CURRENT_USER \
    (reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(static_cast<LONG>(0x80000001))))
#define HKEY_LOCAL_MACHINE \
    (reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(static_cast<LONG>(0x80000002))))

inline constexpr DWORD REG_NONE = 0;
inline constexpr DWORD REG_SZ = 1;
inline constexpr DWORD REG_EXPAND_SZ = 2;
inline constexpr DWORD REG_BINARY = 3;
inline constexpr DWORD REG_DWORD = 4;
inline constexpr DWORD REG_MULTI_SZ = 7;
inline constexpr DWORD REG_QWORD = 11;

inline constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
inline constexpr REGSAM KEY_SET_VALUE = 0x0002;
inline constexpr REGSAM KEY_CREATE_SUB_KEY = 0x0004;
inline constexpr REGSAM KEY_ENUMERATE_SUB_KEYS = 0x0008;
inline constexpr REGSAM KEY_NOTIFY = 0x0010;
inline constexpr REGSAM KEY_CREATE_LINK = 0x0020;
inline constexpr REGSAM KEY_WOW64_64KEY = 0x0100;
inline constexpr REGSAM KEY_WOW64_32KEY = 0x0200;
inline constexpr REGSAM DELETE = 0x00010000;
inline constexpr REGSAM READ_CONTROL = 0x00020000;
inline constexpr REGSAM KEY_READ = 0x20019;
inline constexpr REGSAM KEY_WRITE = 0x20006;
inline constexpr REGSAM KEY_EXECUTE = KEY_READ;
inline constexpr REGSAM KEY_ALL_ACCESS = 0xF003F;

inline constexpr DWORD REG_OPTION_NON_VOLATILE = 0;
inline constexpr DWORD REG_OPTION_VOLATILE = 1;
inline constexpr DWORD REG_CREATED_NEW_KEY = 1;
inline constexpr DWORD REG_OPENED_EXISTING_KEY = 2;

// Status codes as Win32 returns them: 0 on success, an ERROR_ value otherwise.
// A predefined root (HKEY_LOCAL_MACHINE, ...) is always open and never closed.
LONG RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD options, REGSAM access, PHKEY result);
LONG RegCreateKeyExA(HKEY key, LPCSTR subKey, DWORD reserved, LPSTR keyClass, DWORD options,
                     REGSAM access, LPSECURITY_ATTRIBUTES security, PHKEY result,
                     LPDWORD disposition);
LONG RegCloseKey(HKEY key);
LONG RegQueryValueExA(HKEY key, LPCSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data,
                      LPDWORD dataSize);
LONG RegSetValueExA(HKEY key, LPCSTR valueName, DWORD reserved, DWORD type, const BYTE* data,
                    DWORD dataSize);
LONG RegDeleteValueA(HKEY key, LPCSTR valueName);
// Deletes a key that has no subkeys.
LONG RegDeleteKeyA(HKEY key, LPCSTR subKey);
LONG RegEnumKeyExA(HKEY key, DWORD index, LPSTR name, LPDWORD nameLength, LPDWORD reserved,
                   LPSTR keyClass, LPDWORD classLength, PFILETIME lastWriteTime);
LONG RegEnumValueA(HKEY key, DWORD index, LPSTR name, LPDWORD nameLength, LPDWORD reserved,
                   LPDWORD type, LPBYTE data, LPDWORD dataSize);
// Deletes a key with everything beneath it.
DWORD SHDeleteKeyA(HKEY key, LPCSTR subKey);

// Where the native store keeps its file; read on every call so that a test
// can point a process at a scratch store.
inline constexpr char kRegistryFileVariable[] = "QN_REGISTRY_FILE";
// When set to "1", every change under HKEY_LOCAL_MACHINE (and
// HKEY_CLASSES_ROOT, which lives there) fails with ERROR_ACCESS_DENIED, as it
// does for a user without administrator rights; set to a key path below
// HKEY_LOCAL_MACHINE, changes to that key and the keys beneath it fail.
inline constexpr char kRegistryDenyMachineWritesVariable[] = "QN_REGISTRY_DENY_MACHINE_WRITES";
// The same for deleting alone, as for a key whose access list grants writing
// but not deleting: with "1" or a key path, deleting that key (or a tree
// holding it) and opening it with the DELETE right fail with
// ERROR_ACCESS_DENIED, while its values and subkeys can still be written.
inline constexpr char kRegistryDenyMachineDeletesVariable[] = "QN_REGISTRY_DENY_MACHINE_DELETES";

#endif

// Why the last registry call could not read or write the native store (file,
// line and cause), for a person to read; empty when it could, and always on
// Windows, whose registry has no store file to name.
std::string RegistryStoreProblem();

// Writes `utf8` as a REG_SZ value whatever the ANSI code page: Windows stores
// it as UTF-16 through the wide function, the native store keeps the bytes.
LONG RegSetUtf8StringValue(HKEY key, LPCSTR valueName, std::string_view utf8);
