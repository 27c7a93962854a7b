#pragma once

#include "platform/registry/RegistryText.h"

#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantList>
#include <cstdint>

// General-purpose access to the registry: the caller sets a root (ClassKey), a key path below
// it (SectionKey) and a value name (ValueKey, empty for the key's default value), then reads or
// writes the value, tests, creates or deletes keys and values, lists a key's values or
// subkeys, or registers a file type for a program. Every call opens the keys it needs and
// closes them before it returns. Failures are raised as ProgramError with Source
// "<program name>.cRegistry".
//
// Values are QVariants: text as QString, REG_DWORD as a 32-bit int, other data as QByteArray.
class cRegistry {
public:
    // Root keys, as the platform numbers them.
    static constexpr std::int32_t HKEY_CLASSES_ROOT = std::int32_t(0x80000000u);
    static constexpr std::int32_t HKEY_CURRENT_USER = std::int32_t(0x80000001u);
    static constexpr std::int32_t HKEY_LOCAL_MACHINE = std::int32_t(0x80000002u);
    static constexpr std::int32_t HKEY_USERS = std::int32_t(0x80000003u);
    static constexpr std::int32_t HKEY_CURRENT_CONFIG = std::int32_t(0x80000005u);

    // Value types, as the platform numbers them.
    static constexpr std::int32_t REG_NONE = RegistryText::REG_NONE;
    static constexpr std::int32_t REG_SZ = RegistryText::REG_SZ;
    static constexpr std::int32_t REG_EXPAND_SZ = RegistryText::REG_EXPAND_SZ;
    static constexpr std::int32_t REG_BINARY = RegistryText::REG_BINARY;
    static constexpr std::int32_t REG_DWORD = RegistryText::REG_DWORD;
    static constexpr std::int32_t REG_DWORD_BIG_ENDIAN = RegistryText::REG_DWORD_BIG_ENDIAN;
    static constexpr std::int32_t REG_LINK = RegistryText::REG_LINK;
    static constexpr std::int32_t REG_MULTI_SZ = RegistryText::REG_MULTI_SZ;

    // Error numbers raised.
    static constexpr int ErrorRegistry = 26001;
    static constexpr int ErrorSetValue = std::int32_t(0x800469A9u);
    static constexpr int ErrorEnumerate = std::int32_t(0x800469AAu);
    static constexpr int ErrorInvalidParameters = std::int32_t(0x800469ACu);
    static constexpr int ErrorClassNotDefined = std::int32_t(0x800469ADu);

    // Whether SectionKey under ClassKey can be opened for reading values.
    bool KeyExists() const;
    // Opens SectionKey, making it if missing; True. Raises 26001 when it cannot.
    bool CreateKey();
    // Deletes SectionKey (which must have no subkeys); True. Raises 26001 when it cannot.
    bool DeleteKey();
    // Deletes the value ValueKey of SectionKey; True. Raises 26001 when it cannot.
    bool DeleteValue();

    // The value ValueKey of SectionKey, by its type: text for REG_SZ and REG_MULTI_SZ (the
    // data without its terminator, inner separators kept), expanded text for REG_EXPAND_SZ,
    // a number for REG_DWORD and REG_DWORD_BIG_ENDIAN, the bytes for any other type. Sets
    // ValueType to the type found. A missing key or value gives Default and leaves ValueType
    // as it was. Never raises.
    QVariant Value();
    // Writes the value by ValueType: text for 1 and 2 (stored as REG_EXPAND_SZ when it holds
    // a %NAME% reference, else REG_SZ), a QByteArray for 3, a 32- or 16-bit whole number for
    // 4 and 5 (stored as REG_DWORD; any other kind writes nothing). Raises 26001 when the key
    // cannot be made or type 3 is given something else, 800469A9 when the write fails or
    // ValueType is of no other kind.
    void setValue(const QVariant& vValue);

    // The names of SectionKey's values in sKeyNames(1 .. iKeyCount); element 0 is unused (the
    // list is empty when there are none). A missing key lists nothing. Always True.
    bool EnumerateValues(QStringList& sKeyNames, std::int32_t& iKeyCount);
    // The names of SectionKey's subkeys in sSect(1 .. iSectCount), element 0 unused. True;
    // raises 800469AA on an unexpected failure.
    bool EnumerateSections(QStringList& sSect, std::int32_t& iSectCount);

    // Registers the file type sAssociation (without its dot) as class sClassName opened by the
    // program sExePath, with optional print, install and new verbs and an icon (an index of 0
    // or more); each key is written under HKEY_CLASSES_ROOT and HKEY_LOCAL_MACHINE\SOFTWARE\Classes.
    void CreateEXEAssociation(const QString& sExePath, const QString& sClassName, const QString& sClassDescription,
                              const QString& sAssociation, const QString& sOpenMenuText = QString(),
                              bool bSupportPrint = false, const QString& sPrintMenuText = QString(),
                              bool bSupportNew = false, const QString& sNewMenuText = QString(),
                              bool bSupportInstall = false, const QString& sInstallMenuText = QString(),
                              std::int32_t lDefaultIconIndex = -1);
    // Adds verbs to a class registered under the current ClassKey: vItems holds (name, menu
    // text, command) triples. Raises 800469AC when the list is not made of triples, 800469AD
    // when the class key does not exist.
    void CreateAdditionalEXEAssociations(const QString& sClassName, const QVariantList& vItems);

    std::int32_t ValueType() const { return m_eValueType; }
    void setValueType(std::int32_t eValueType) { m_eValueType = eValueType; }
    std::int32_t ClassKey() const { return m_hClassKey; }
    void setClassKey(std::int32_t eKey) { m_hClassKey = eKey; }
    QString SectionKey() const { return m_sSectionKey; }
    void setSectionKey(const QString& sSectionKey) { m_sSectionKey = sSectionKey; }
    QString ValueKey() const { return m_sValueKey; }
    void setValueKey(const QString& sValueKey) { m_sValueKey = sValueKey; }
    QVariant Default() const { return m_vDefault; }
    void setDefault(const QVariant& vDefault) { m_vDefault = vDefault; }

private:
    void WriteClassesValue(const QString& sValue);
    static std::int32_t ReverseBytes(std::int32_t lValue);
    static QString ExpandEnvironmentText(const QString& sText);

    [[noreturn]] void raise(int number, const QString& description) const;
    QString setFailureDescription(const QVariant& vValue) const;

    std::int32_t m_hClassKey = 0;
    QString m_sSectionKey;
    QString m_sValueKey;
    std::int32_t m_eValueType = 0;
    QVariant m_vDefault;
};
