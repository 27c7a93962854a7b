#pragma once

#include "platform/registry/RegistryStore.h"
#include "platform/registry/RegistryText.h"

#include <cstdint>

// The Windows registry functions, under their Windows names and with their arguments and
// results, over the registry of the current Wine prefix (RegistryStore::current()). On Windows
// the system's own functions take their place (a `using ::RegOpenKeyExA;` and so on) and the
// rest of this file is not needed.
//
// As the ...A functions do, they take names as NUL-terminated strings in the ANSI code page and
// convert string data (REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ) between that code page and the
// UTF-16 the registry stores; sizes of such data are in 8-bit characters. Handles are numbers:
// the predefined roots as Windows numbers them, keys opened here from a table. Access rights
// are checked as Windows checks them: reading values needs KEY_QUERY_VALUE, listing subkeys
// KEY_ENUMERATE_SUB_KEYS, changing values KEY_SET_VALUE.
//
// REQUIRES: one thread at a time.
namespace WinApi {

using HKEY = std::uint32_t;
using DWORD = std::uint32_t;
using REGSAM = std::uint32_t;
// LONG and the ERROR_* codes the functions return are the store's (RegistryStore.h); the value
// types (REG_SZ and the others) are those of the registry's text (RegistryText.h).
using RegistryText::REG_NONE;
using RegistryText::REG_SZ;
using RegistryText::REG_EXPAND_SZ;
using RegistryText::REG_BINARY;
using RegistryText::REG_DWORD;
using RegistryText::REG_DWORD_BIG_ENDIAN;
using RegistryText::REG_LINK;
using RegistryText::REG_MULTI_SZ;

struct FILETIME {
    DWORD dwLowDateTime;
    DWORD dwHighDateTime;
};

constexpr HKEY HKEY_CLASSES_ROOT = 0x80000000u;
constexpr HKEY HKEY_CURRENT_USER = 0x80000001u;
constexpr HKEY HKEY_LOCAL_MACHINE = 0x80000002u;
constexpr HKEY HKEY_USERS = 0x80000003u;
constexpr HKEY HKEY_CURRENT_CONFIG = 0x80000005u;

constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
constexpr REGSAM KEY_SET_VALUE = 0x0002;
constexpr REGSAM KEY_CREATE_SUB_KEY = 0x0004;
constexpr REGSAM KEY_ENUMERATE_SUB_KEYS = 0x0008;
constexpr REGSAM KEY_NOTIFY = 0x0010;
constexpr REGSAM KEY_CREATE_LINK = 0x0020;
constexpr REGSAM KEY_READ = 0x20019;
constexpr REGSAM KEY_WRITE = 0x20006;
constexpr REGSAM KEY_ALL_ACCESS = 0xF003F;

constexpr DWORD REG_CREATED_NEW_KEY = 1;
constexpr DWORD REG_OPENED_EXISTING_KEY = 2;

LONG RegOpenKeyExA(HKEY hKey, const char* lpSubKey, DWORD ulOptions, REGSAM samDesired, HKEY* phkResult);
LONG RegCreateKeyExA(HKEY hKey, const char* lpSubKey, DWORD Reserved, const char* lpClass, DWORD dwOptions,
                     REGSAM samDesired, const void* lpSecurityAttributes, HKEY* phkResult, DWORD* lpdwDisposition);
LONG RegQueryValueExA(HKEY hKey, const char* lpValueName, DWORD* lpReserved, DWORD* lpType, unsigned char* lpData,
                      DWORD* lpcbData);
LONG RegSetValueExA(HKEY hKey, const char* lpValueName, DWORD Reserved, DWORD dwType, const unsigned char* lpData,
                    DWORD cbData);
LONG RegDeleteKeyA(HKEY hKey, const char* lpSubKey);
LONG RegDeleteValueA(HKEY hKey, const char* lpValueName);
LONG RegEnumValueA(HKEY hKey, DWORD dwIndex, char* lpValueName, DWORD* lpcchValueName, DWORD* lpReserved,
                   DWORD* lpType, unsigned char* lpData, DWORD* lpcbData);
LONG RegEnumKeyA(HKEY hKey, DWORD dwIndex, char* lpName, DWORD cchName);
LONG RegQueryInfoKeyA(HKEY hKey, char* lpClass, DWORD* lpcchClass, DWORD* lpReserved, DWORD* lpcSubKeys,
                      DWORD* lpcbMaxSubKeyLen, DWORD* lpcbMaxClassLen, DWORD* lpcValues, DWORD* lpcbMaxValueNameLen,
                      DWORD* lpcbMaxValueLen, DWORD* lpcbSecurityDescriptor, FILETIME* lpftLastWriteTime);
LONG RegCloseKey(HKEY hKey);

// How many keys are open (for tests that check every key is closed again).
int OpenRegistryKeyCount();

}
