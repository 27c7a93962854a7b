#include "platform/registry/WinRegistry.h"

#include "platform/core/AnsiCodePage.h"
#include "platform/registry/RegistryStore.h"
#include "platform/registry/RegistryText.h"

#include <QtEndian>
#include <cstring>
#include <string_view>
#include <unordered_map>

namespace WinApi {

namespace {

// A key opened through one of the functions, or one of the predefined roots.
struct OpenKey {
    std::shared_ptr<RegistryStore> store;
    RegistryRoot root = RegistryRoot::LocalMachine;
    QString path;
    REGSAM access = KEY_ALL_ACCESS;
    // What enumeration by index walks, kept while the store's generation stays the same.
    std::uint64_t subkeysGeneration = ~0ull;
    QStringList subkeys;
    std::uint64_t valuesGeneration = ~0ull;
    std::vector<RegistryValue> values;
};

struct HandleTable {
    std::unordered_map<HKEY, OpenKey> keys;
    HKEY next = 0x100;
};

HandleTable& handles()
{
    static HandleTable table;
    return table;
}

bool isPredefined(HKEY h)
{
    return h == HKEY_CLASSES_ROOT || h == HKEY_CURRENT_USER || h == HKEY_LOCAL_MACHINE || h == HKEY_USERS
        || h == HKEY_CURRENT_CONFIG;
}

// The open key behind a handle, or null for an unknown handle. A predefined root is looked up
// in the store of the current prefix each time.
OpenKey* lookUp(HKEY h, OpenKey& rootKey)
{
    if (isPredefined(h)) {
        rootKey.store = RegistryStore::current();
        rootKey.root = static_cast<RegistryRoot>(h);
        return &rootKey;
    }
    auto it = handles().keys.find(h);
    return it == handles().keys.end() ? nullptr : &it->second;
}

// The open key behind `h` in `key`, when the handle is known and was opened with every right in
// `needed`; else ERROR_INVALID_HANDLE or ERROR_ACCESS_DENIED.
LONG openedWith(HKEY h, REGSAM needed, OpenKey& rootKey, OpenKey*& key)
{
    key = lookUp(h, rootKey);
    if (!key)
        return ERROR_INVALID_HANDLE;
    if ((key->access & needed) != needed)
        return ERROR_ACCESS_DENIED;
    return ERROR_SUCCESS;
}

REGSAM mapGenericRights(REGSAM access)
{
    constexpr REGSAM genericRead = 0x80000000u, genericWrite = 0x40000000u, genericExecute = 0x20000000u,
                     genericAll = 0x10000000u, maximumAllowed = 0x02000000u;
    if (access & (genericRead | genericExecute))
        access |= KEY_READ;
    if (access & genericWrite)
        access |= KEY_WRITE;
    if (access & (genericAll | maximumAllowed))
        access |= KEY_ALL_ACCESS;
    return access;
}

QString decodeName(const char* name)
{
    return name ? AnsiCodePage::decode(std::string_view(name)) : QString();
}

QString joinPath(const QString& base, const QString& sub)
{
    if (base.isEmpty())
        return sub;
    if (sub.isEmpty())
        return base;
    return base + u'\\' + sub;
}

bool isString(DWORD type)
{
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

// The data as an ...A function hands it out: strings in the ANSI code page, one byte per
// UTF-16 unit (terminators included), everything else as stored.
QByteArray ansiData(const RegistryValue& value)
{
    if (!isString(value.type))
        return value.data;
    const qsizetype units = value.data.size() / 2;
    QString chars(units, Qt::Uninitialized);
    for (qsizetype i = 0; i < units; ++i)
        chars[i] = QChar(qFromLittleEndian<char16_t>(value.data.constData() + 2 * i));
    return AnsiCodePage::encode(chars);
}

// Copies data out as RegQueryValueExA and RegEnumValueA do.
LONG copyData(const QByteArray& data, unsigned char* lpData, DWORD* lpcbData)
{
    const DWORD size = static_cast<DWORD>(data.size());
    if (!lpcbData)
        return ERROR_SUCCESS;
    if (lpData) {
        if (*lpcbData < size) {
            *lpcbData = size;
            return ERROR_MORE_DATA;
        }
        if (size > 0)
            std::memcpy(lpData, data.constData(), size);
    }
    *lpcbData = size;
    return ERROR_SUCCESS;
}

// Copies a name with its terminator into a buffer of `capacity` characters.
bool copyName(const QString& name, char* buffer, DWORD capacity, DWORD* length)
{
    const QByteArray bytes = AnsiCodePage::encode(name);
    if (static_cast<DWORD>(bytes.size()) + 1 > capacity)
        return false;
    std::memcpy(buffer, bytes.constData(), static_cast<std::size_t>(bytes.size()));
    buffer[bytes.size()] = '\0';
    if (length)
        *length = static_cast<DWORD>(bytes.size());
    return true;
}

HKEY addHandle(OpenKey key)
{
    HandleTable& table = handles();
    while (table.next == 0 || isPredefined(table.next) || table.keys.count(table.next))
        table.next += 4;
    const HKEY h = table.next;
    table.next += 4;
    table.keys.emplace(h, std::move(key));
    return h;
}

void refreshSubkeys(OpenKey& key)
{
    const std::uint64_t generation = key.store->generation();
    if (key.subkeysGeneration != generation) {
        key.subkeys = key.store->subkeyNames(key.root, key.path);
        key.subkeysGeneration = generation;
    }
}

void refreshValues(OpenKey& key)
{
    const std::uint64_t generation = key.store->generation();
    if (key.valuesGeneration != generation) {
        key.values = key.store->values(key.root, key.path);
        key.valuesGeneration = generation;
    }
}

// The key `lpSubKey` below `hKey`, as the open and create functions address it, with the
// access asked for; `parentAccess` receives the access of the handle it is opened through.
LONG subKeyOf(HKEY hKey, const char* lpSubKey, REGSAM samDesired, HKEY* phkResult, OpenKey& key, REGSAM& parentAccess)
{
    if (!phkResult)
        return ERROR_INVALID_PARAMETER;
    *phkResult = 0;
    OpenKey rootKey;
    OpenKey* parent = nullptr;
    if (const LONG status = openedWith(hKey, 0, rootKey, parent); status != ERROR_SUCCESS)
        return status;
    const QString sub = decodeName(lpSubKey);
    if (sub.startsWith(u'\\'))
        return ERROR_BAD_PATHNAME;
    key.store = parent->store;
    key.root = parent->root;
    key.path = joinPath(parent->path, sub);
    key.access = mapGenericRights(samDesired);
    parentAccess = parent->access;
    return ERROR_SUCCESS;
}

}

LONG RegOpenKeyExA(HKEY hKey, const char* lpSubKey, DWORD, REGSAM samDesired, HKEY* phkResult)
{
    OpenKey key;
    REGSAM parentAccess = 0;
    if (const LONG status = subKeyOf(hKey, lpSubKey, samDesired, phkResult, key, parentAccess); status != ERROR_SUCCESS)
        return status;
    const LONG result = key.store->checkKey(key.root, key.path);
    if (result != ERROR_SUCCESS)
        return result;
    *phkResult = addHandle(std::move(key));
    return ERROR_SUCCESS;
}

LONG RegCreateKeyExA(HKEY hKey, const char* lpSubKey, DWORD, const char*, DWORD, REGSAM samDesired, const void*,
                     HKEY* phkResult, DWORD* lpdwDisposition)
{
    OpenKey key;
    REGSAM parentAccess = 0;
    if (const LONG status = subKeyOf(hKey, lpSubKey, samDesired, phkResult, key, parentAccess); status != ERROR_SUCCESS)
        return status;
    if (!(parentAccess & KEY_CREATE_SUB_KEY) && !key.store->keyExists(key.root, key.path))
        return ERROR_ACCESS_DENIED;
    bool created = false;
    const LONG result = key.store->createKey(key.root, key.path, &created);
    if (result != ERROR_SUCCESS)
        return result;
    if (lpdwDisposition)
        *lpdwDisposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    *phkResult = addHandle(std::move(key));
    return ERROR_SUCCESS;
}

LONG RegQueryValueExA(HKEY hKey, const char* lpValueName, DWORD*, DWORD* lpType, unsigned char* lpData,
                      DWORD* lpcbData)
{
    if (lpData && !lpcbData)
        return ERROR_INVALID_PARAMETER;
    OpenKey rootKey;
    OpenKey* key = nullptr;
    if (const LONG status = openedWith(hKey, KEY_QUERY_VALUE, rootKey, key); status != ERROR_SUCCESS)
        return status;
    const std::optional<RegistryValue> value = key->store->value(key->root, key->path, decodeName(lpValueName));
    if (!value)
        return ERROR_FILE_NOT_FOUND;
    if (lpType)
        *lpType = value->type;
    return copyData(ansiData(*value), lpData, lpcbData);
}

LONG RegSetValueExA(HKEY hKey, const char* lpValueName, DWORD, DWORD dwType, const unsigned char* lpData, DWORD cbData)
{
    if (!lpData && cbData > 0)
        return ERROR_INVALID_PARAMETER;
    OpenKey rootKey;
    OpenKey* key = nullptr;
    if (const LONG status = openedWith(hKey, KEY_SET_VALUE, rootKey, key); status != ERROR_SUCCESS)
        return status;
    RegistryValue value;
    value.name = decodeName(lpValueName);
    value.type = dwType;
    const std::string_view bytes(reinterpret_cast<const char*>(lpData), lpData ? cbData : 0);
    if (isString(dwType)) {
        // Each 8-bit character becomes one UTF-16 unit; a terminator is stored only if given.
        const QString chars = AnsiCodePage::decode(bytes);
        value.data.resize(2 * chars.size());
        for (qsizetype i = 0; i < chars.size(); ++i)
            qToLittleEndian<char16_t>(chars[i].unicode(), value.data.data() + 2 * i);
    } else {
        value.data = QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size()));
    }
    return key->store->setValue(key->root, key->path, std::move(value));
}

LONG RegDeleteKeyA(HKEY hKey, const char* lpSubKey)
{
    OpenKey rootKey;
    OpenKey* key = nullptr;
    if (const LONG status = openedWith(hKey, 0, rootKey, key); status != ERROR_SUCCESS)
        return status;
    const QString sub = decodeName(lpSubKey);
    if (sub.startsWith(u'\\'))
        return ERROR_BAD_PATHNAME;
    return key->store->deleteKey(key->root, joinPath(key->path, sub));
}

LONG RegDeleteValueA(HKEY hKey, const char* lpValueName)
{
    OpenKey rootKey;
    OpenKey* key = nullptr;
    if (const LONG status = openedWith(hKey, KEY_SET_VALUE, rootKey, key); status != ERROR_SUCCESS)
        return status;
    return key->store->deleteValue(key->root, key->path, decodeName(lpValueName));
}

LONG RegEnumValueA(HKEY hKey, DWORD dwIndex, char* lpValueName, DWORD* lpcchValueName, DWORD*, DWORD* lpType,
                   unsigned char* lpData, DWORD* lpcbData)
{
    if (!lpValueName || !lpcchValueName || (lpData && !lpcbData))
        return ERROR_INVALID_PARAMETER;
    OpenKey rootKey;
    OpenKey* key = nullptr;
    if (const LONG status = openedWith(hKey, KEY_QUERY_VALUE, rootKey, key); status != ERROR_SUCCESS)
        return status;
    refreshValues(*key);
    if (dwIndex >= key->values.size())
        return ERROR_NO_MORE_ITEMS;
    const RegistryValue& value = key->values[dwIndex];
    if (!copyName(value.name, lpValueName, *lpcchValueName, lpcchValueName))
        return ERROR_MORE_DATA;
    if (lpType)
        *lpType = value.type;
    return copyData(ansiData(value), lpData, lpcbData);
}

LONG RegEnumKeyA(HKEY hKey, DWORD dwIndex, char* lpName, DWORD cchName)
{
    if (!lpName)
        return ERROR_INVALID_PARAMETER;
    OpenKey rootKey;
    OpenKey* key = nullptr;
    if (const LONG status = openedWith(hKey, KEY_ENUMERATE_SUB_KEYS, rootKey, key); status != ERROR_SUCCESS)
        return status;
    refreshSubkeys(*key);
    if (dwIndex >= static_cast<DWORD>(key->subkeys.size()))
        return ERROR_NO_MORE_ITEMS;
    return copyName(key->subkeys[dwIndex], lpName, cchName, nullptr) ? ERROR_SUCCESS : ERROR_MORE_DATA;
}

LONG RegQueryInfoKeyA(HKEY hKey, char* lpClass, DWORD* lpcchClass, DWORD*, DWORD* lpcSubKeys, DWORD* lpcbMaxSubKeyLen,
                      DWORD* lpcbMaxClassLen, DWORD* lpcValues, DWORD* lpcbMaxValueNameLen, DWORD* lpcbMaxValueLen,
                      DWORD* lpcbSecurityDescriptor, FILETIME* lpftLastWriteTime)
{
    OpenKey rootKey;
    OpenKey* key = nullptr;
    if (const LONG status = openedWith(hKey, KEY_QUERY_VALUE, rootKey, key); status != ERROR_SUCCESS)
        return status;
    if (!key->store->keyExists(key->root, key->path))
        return ERROR_FILE_NOT_FOUND;
    refreshSubkeys(*key);
    refreshValues(*key);
    DWORD longestSubkey = 0, longestName = 0, longestData = 0;
    for (const QString& name : key->subkeys)
        longestSubkey = std::max(longestSubkey, static_cast<DWORD>(name.size()));
    for (const RegistryValue& value : key->values) {
        longestName = std::max(longestName, static_cast<DWORD>(value.name.size()));
        longestData = std::max(longestData, static_cast<DWORD>(value.data.size()));
    }
    // Keys here have no class text.
    if (lpcchClass) {
        if (lpClass && *lpcchClass > 0)
            lpClass[0] = '\0';
        *lpcchClass = 0;
    }
    if (lpcSubKeys)
        *lpcSubKeys = static_cast<DWORD>(key->subkeys.size());
    if (lpcbMaxSubKeyLen)
        *lpcbMaxSubKeyLen = longestSubkey;
    if (lpcbMaxClassLen)
        *lpcbMaxClassLen = 0;
    if (lpcValues)
        *lpcValues = static_cast<DWORD>(key->values.size());
    if (lpcbMaxValueNameLen)
        *lpcbMaxValueNameLen = longestName;
    if (lpcbMaxValueLen)
        *lpcbMaxValueLen = longestData;
    if (lpcbSecurityDescriptor)
        *lpcbSecurityDescriptor = 0;
    if (lpftLastWriteTime)
        *lpftLastWriteTime = FILETIME{0, 0};
    return ERROR_SUCCESS;
}

LONG RegCloseKey(HKEY hKey)
{
    if (isPredefined(hKey))
        return ERROR_SUCCESS;
    return handles().keys.erase(hKey) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

int OpenRegistryKeyCount()
{
    return static_cast<int>(handles().keys.size());
}

}
