#include "support/cRegistry.h"

#include "platform/core/AnsiCodePage.h"
#include "platform/core/ProgramError.h"
#include "platform/registry/RegistryText.h"
#include "platform/registry/WinRegistry.h"
#include "platform/registry/WindowsEnvironment.h"
#include "support/Version.h"

#include <QtEndian>
#include <cstring>
#include <exception>

using namespace WinApi;

namespace {

// The access RegCreateKeyExA and DeleteValue ask for: every key right but the standard ones.
constexpr REGSAM kAllKeyRights = 63;

HKEY rootHandle(std::int32_t classKey)
{
    return static_cast<HKEY>(classKey);
}

QByteArray ansi(const QString& text)
{
    return AnsiCodePage::encode(text);
}

// Closes a key when the operation that opened it ends, however it ends.
class KeyCloser {
public:
    explicit KeyCloser(HKEY& key) : key_(key) {}
    ~KeyCloser()
    {
        if (key_ != 0)
            RegCloseKey(key_);
    }
    KeyCloser(const KeyCloser&) = delete;
    KeyCloser& operator=(const KeyCloser&) = delete;

private:
    HKEY& key_;
};

// Text that holds a '%' with another '%' at least two characters further on names a variable.
bool namesVariable(const QString& text)
{
    const qsizetype first = text.indexOf(u'%');
    return first >= 0 && text.indexOf(u'%', first + 2) >= 0;
}

QString variantText(const QVariant& value)
{
    if (value.typeId() == QMetaType::QByteArray)
        return AnsiCodePage::decode(std::string_view(value.toByteArray().constData(), static_cast<std::size_t>(value.toByteArray().size())));
    return value.toString();
}

}

void cRegistry::raise(int number, const QString& description) const
{
    throw ProgramError(number, description, QString::fromLatin1(Version::ProgramName) + QStringLiteral(".cRegistry"));
}

QString cRegistry::setFailureDescription(const QVariant& vValue) const
{
    return QStringLiteral("Failed to set registry value Key: '") + QString::number(m_hClassKey) + QStringLiteral("',Section: '")
        + m_sSectionKey + QStringLiteral("',Key: '") + m_sValueKey + QStringLiteral("' to value: '") + variantText(vValue)
        + QStringLiteral("'");
}

bool cRegistry::KeyExists() const
{
    HKEY key = 0;
    if (RegOpenKeyExA(rootHandle(m_hClassKey), ansi(m_sSectionKey).constData(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

bool cRegistry::CreateKey()
{
    HKEY key = 0;
    DWORD disposition = 0;
    if (RegCreateKeyExA(rootHandle(m_hClassKey), ansi(m_sSectionKey).constData(), 0, "", 0, kAllKeyRights, nullptr, &key,
                        &disposition)
        != ERROR_SUCCESS)
        raise(ErrorRegistry, QStringLiteral("Failed to create registry Key: '") + m_sSectionKey);
    RegCloseKey(key);
    return true;
}

bool cRegistry::DeleteKey()
{
    if (RegDeleteKeyA(rootHandle(m_hClassKey), ansi(m_sSectionKey).constData()) != ERROR_SUCCESS)
        raise(ErrorRegistry, QStringLiteral("Failed to delete registry Key: '") + QString::number(m_hClassKey)
                                 + QStringLiteral("',Section: '") + m_sSectionKey);
    return true;
}

bool cRegistry::DeleteValue()
{
    HKEY key = 0;
    KeyCloser closer(key);
    if (RegOpenKeyExA(rootHandle(m_hClassKey), ansi(m_sSectionKey).constData(), 0, kAllKeyRights, &key) != ERROR_SUCCESS)
        raise(ErrorRegistry, QStringLiteral("Failed to open key '") + QString::number(m_hClassKey) + QStringLiteral("',Section: '")
                                 + m_sSectionKey + QStringLiteral("' for delete access"));
    if (RegDeleteValueA(key, ansi(m_sValueKey).constData()) != ERROR_SUCCESS)
        raise(ErrorRegistry, QStringLiteral("Failed to delete registry Key: '") + QString::number(m_hClassKey)
                                 + QStringLiteral("',Section: '") + m_sSectionKey + QStringLiteral("',Key: '") + m_sValueKey);
    return true;
}

QVariant cRegistry::Value()
{
    HKEY key = 0;
    KeyCloser closer(key);
    // A key that cannot be opened leaves the handle at 0, and the query below fails on it.
    RegOpenKeyExA(rootHandle(m_hClassKey), ansi(m_sSectionKey).constData(), 0, KEY_QUERY_VALUE, &key);

    const QByteArray valueName = ansi(m_sValueKey);
    DWORD type = 0;
    unsigned char probe[4] = {};
    DWORD size = 0;
    const LONG result = RegQueryValueExA(key, valueName.constData(), nullptr, &type, probe, &size);
    if (result != ERROR_SUCCESS && result != ERROR_MORE_DATA)
        return m_vDefault;
    m_eValueType = static_cast<std::int32_t>(type);

    switch (type) {
    case REG_SZ:
    case REG_EXPAND_SZ:
    case REG_MULTI_SZ: {
        QByteArray data(static_cast<qsizetype>(size), '\0');
        DWORD read = size;
        if (size > 0)
            RegQueryValueExA(key, valueName.constData(), nullptr, &type, reinterpret_cast<unsigned char*>(data.data()), &read);
        data.truncate(static_cast<qsizetype>(std::min(read, size)));
        // The data without its terminator; data stored without one loses nothing.
        if (!data.isEmpty() && data.endsWith('\0'))
            data.chop(1);
        const QString text = AnsiCodePage::decode(std::string_view(data.constData(), static_cast<std::size_t>(data.size())));
        return type == REG_EXPAND_SZ ? ExpandEnvironmentText(text) : text;
    }
    case REG_DWORD:
    case REG_DWORD_BIG_ENDIAN: {
        unsigned char bytes[4] = {};
        DWORD read = sizeof bytes;
        RegQueryValueExA(key, valueName.constData(), nullptr, &type, bytes, &read);
        const std::int32_t number = qFromLittleEndian<std::int32_t>(bytes);
        return m_eValueType == REG_DWORD ? number : ReverseBytes(number);
    }
    default: {
        QByteArray data(static_cast<qsizetype>(size), '\0');
        DWORD read = size;
        if (size > 0)
            RegQueryValueExA(key, valueName.constData(), nullptr, &type, reinterpret_cast<unsigned char*>(data.data()), &read);
        return data;
    }
    }
}

void cRegistry::setValue(const QVariant& vValue)
{
    HKEY key = 0;
    KeyCloser closer(key);
    DWORD disposition = 0;
    if (RegCreateKeyExA(rootHandle(m_hClassKey), ansi(m_sSectionKey).constData(), 0, "", 0, kAllKeyRights, nullptr, &key,
                        &disposition)
        != ERROR_SUCCESS)
        raise(ErrorRegistry, setFailureDescription(vValue));

    const QByteArray valueName = ansi(m_sValueKey);
    LONG result = ERROR_SUCCESS;
    switch (m_eValueType) {
    case REG_SZ:
    case REG_EXPAND_SZ: {
        const QString text = vValue.toString();
        const QByteArray data = ansi(text);
        // Written with its terminator: constData() ends in one.
        result = RegSetValueExA(key, valueName.constData(), 0, namesVariable(text) ? REG_EXPAND_SZ : REG_SZ,
                                reinterpret_cast<const unsigned char*>(data.constData()), static_cast<DWORD>(data.size() + 1));
        break;
    }
    case REG_BINARY: {
        if (vValue.typeId() != QMetaType::QByteArray)
            raise(ErrorRegistry, StandardErrorDescription(ErrorRegistry));
        const QByteArray data = vValue.toByteArray();
        result = RegSetValueExA(key, valueName.constData(), 0, REG_BINARY, reinterpret_cast<const unsigned char*>(data.constData()),
                                static_cast<DWORD>(data.size()));
        break;
    }
    case REG_DWORD:
    case REG_DWORD_BIG_ENDIAN: {
        const int kind = vValue.typeId();
        if (kind == QMetaType::Int || kind == QMetaType::Short) {
            unsigned char bytes[4];
            qToLittleEndian<std::int32_t>(vValue.toInt(), bytes);
            result = RegSetValueExA(key, valueName.constData(), 0, REG_DWORD, bytes, sizeof bytes);
        }
        break;
    }
    default:
        result = 13; // nothing is written for any other type
        break;
    }
    if (result != ERROR_SUCCESS)
        raise(ErrorSetValue, setFailureDescription(vValue));
}

bool cRegistry::EnumerateValues(QStringList& sKeyNames, std::int32_t& iKeyCount)
{
    sKeyNames.clear();
    iKeyCount = 0;
    HKEY key = 0;
    if (RegOpenKeyExA(rootHandle(m_hClassKey), ansi(m_sSectionKey).constData(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return true;
    KeyCloser closer(key);

    DWORD longestName = 0;
    if (RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &longestName, nullptr, nullptr,
                         nullptr)
        != ERROR_SUCCESS)
        return true;
    QByteArray buffer(static_cast<qsizetype>(longestName) + 1, '\0');
    for (DWORD index = 0;; ++index) {
        DWORD length = static_cast<DWORD>(buffer.size());
        if (RegEnumValueA(key, index, buffer.data(), &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        if (sKeyNames.isEmpty())
            sKeyNames.append(QString()); // element 0 is never used
        sKeyNames.append(AnsiCodePage::decode(std::string_view(buffer.constData(), length)));
        ++iKeyCount;
    }
    return true;
}

bool cRegistry::EnumerateSections(QStringList& sSect, std::int32_t& iSectCount)
{
    sSect.clear();
    iSectCount = 0;
    HKEY key = 0;
    KeyCloser closer(key);
    try {
        if (RegOpenKeyExA(rootHandle(m_hClassKey), ansi(m_sSectionKey).constData(), 0, KEY_ENUMERATE_SUB_KEYS, &key)
            != ERROR_SUCCESS)
            return true;
        // Room for the longest name a key can have and its terminator: a shorter buffer would
        // end the listing early, without a word, at the first long name.
        char name[RegistryText::kMaxKeyNameLength + 1];
        for (DWORD index = 0; RegEnumKeyA(key, index, name, sizeof name) == ERROR_SUCCESS; ++index) {
            if (sSect.isEmpty())
                sSect.append(QString()); // element 0 is never used
            sSect.append(AnsiCodePage::decode(std::string_view(name, std::strlen(name))));
            ++iSectCount;
        }
        return true;
    } catch (const ProgramError& error) {
        raise(ErrorEnumerate, error.Description);
    } catch (const std::exception& error) {
        raise(ErrorEnumerate, QString::fromLocal8Bit(error.what()));
    }
}

void cRegistry::WriteClassesValue(const QString& sValue)
{
    m_hClassKey = HKEY_CLASSES_ROOT;
    setValue(sValue);
    const QString section = m_sSectionKey;
    m_hClassKey = HKEY_LOCAL_MACHINE;
    m_sSectionKey = QStringLiteral("SOFTWARE\\Classes\\") + section;
    setValue(sValue);
    m_sSectionKey = section;
}

void cRegistry::CreateEXEAssociation(const QString& sExePath, const QString& sClassName, const QString& sClassDescription,
                                     const QString& sAssociation, const QString& sOpenMenuText, bool bSupportPrint,
                                     const QString& sPrintMenuText, bool bSupportNew, const QString& sNewMenuText,
                                     bool bSupportInstall, const QString& sInstallMenuText, std::int32_t lDefaultIconIndex)
{
    QString exePath = sExePath.trimmed();
    if (!exePath.startsWith(u'"'))
        exePath.prepend(u'"');
    if (!exePath.endsWith(u'"'))
        exePath.append(u'"');

    auto write = [this](const QString& section, const QString& text) {
        m_sSectionKey = section;
        WriteClassesValue(text);
    };
    auto orDefault = [](const QString& text, const QString& fallback) { return text.isEmpty() ? fallback : text; };

    m_eValueType = REG_SZ;
    m_sValueKey.clear();
    write(u'.' + sAssociation, sClassName);
    write(sClassName, sClassDescription);
    write(sClassName + QStringLiteral("\\shell\\open"), orDefault(sOpenMenuText, QStringLiteral("&Open")));
    write(sClassName + QStringLiteral("\\shell\\open\\command"), exePath + QStringLiteral(" \"%1\""));
    if (bSupportPrint) {
        write(sClassName + QStringLiteral("\\shell\\print"), orDefault(sPrintMenuText, QStringLiteral("&Print")));
        write(sClassName + QStringLiteral("\\shell\\print\\command"), exePath + QStringLiteral(" /p \"%1\""));
    }
    if (bSupportInstall) {
        write(sClassName + QStringLiteral("\\shell\\add"), orDefault(sInstallMenuText, QStringLiteral("&Install ") + sAssociation));
        write(sClassName + QStringLiteral("\\shell\\add\\command"), exePath + QStringLiteral(" /a \"%1\""));
    }
    if (bSupportNew) {
        write(sClassName + QStringLiteral("\\shell\\new"), orDefault(sNewMenuText, QStringLiteral("&New")));
        write(sClassName + QStringLiteral("\\shell\\new\\command"), exePath + QStringLiteral(" /n \"%1\""));
    }
    if (lDefaultIconIndex >= 0)
        write(sClassName + QStringLiteral("\\DefaultIcon"), exePath + u',' + QString::number(lDefaultIconIndex));
}

void cRegistry::CreateAdditionalEXEAssociations(const QString& sClassName, const QVariantList& vItems)
{
    if (vItems.size() % 3 != 0)
        raise(ErrorInvalidParameters,
              QStringLiteral("Invalid parameter list passed to CreateAdditionalEXEAssociations - expected Name/Text/Command"));
    m_sSectionKey = sClassName;
    if (!KeyExists())
        raise(ErrorClassNotDefined, QStringLiteral("Error - attempt to create additional associations before class defined."));
    for (qsizetype i = 0; i < vItems.size(); i += 3) {
        m_eValueType = REG_SZ;
        const QString verbKey = sClassName + QStringLiteral("\\shell\\") + vItems[i].toString();
        m_sSectionKey = verbKey;
        WriteClassesValue(vItems[i + 1].toString());
        m_sSectionKey = verbKey + QStringLiteral("\\command");
        WriteClassesValue(vItems[i + 2].toString());
    }
}

std::int32_t cRegistry::ReverseBytes(std::int32_t lValue)
{
    const auto u = static_cast<std::uint32_t>(lValue);
    return static_cast<std::int32_t>((u >> 24) | ((u >> 8) & 0xFF00u) | ((u << 8) & 0xFF0000u) | (u << 24));
}

QString cRegistry::ExpandEnvironmentText(const QString& sText)
{
    const QByteArray source = ansi(sText);
    const DWORD needed = ExpandEnvironmentStringsA(source.constData(), nullptr, 0);
    if (needed == 0)
        return QString();
    QByteArray expanded(static_cast<qsizetype>(needed), '\0');
    ExpandEnvironmentStringsA(source.constData(), expanded.data(), needed);
    return AnsiCodePage::decode(std::string_view(expanded.constData(), needed - 1));
}
