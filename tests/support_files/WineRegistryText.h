#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>

class TempPrefix;

// The text of a prefix's registry file as Wine writes it, built key by key, for fixtures:
//
//   WineRegistryText machine;
//   machine.key("Software\\Classes\\TypeLib\\{GUID}\\2.0").value("", "My Library")
//          .key("Software\\Classes\\TypeLib\\{GUID}\\2.0\\0\\win32").value("", "C:\\x\\my.tlb");
//   machine.writeTo(prefix);
//
// Key paths and names are given with single backslashes; they are escaped as Wine escapes them.
class WineRegistryText {
public:
    enum class Hive { Machine, User };
    explicit WineRegistryText(Hive hive = Hive::Machine, bool win64 = false);

    // Starts the block of a key (a key without values is written as Wine writes empty keys).
    WineRegistryText& key(const QString& path);
    // Adds a REG_SZ value to the current key; an empty name is the default value.
    WineRegistryText& value(const QString& name, const QString& text);
    WineRegistryText& expandValue(const QString& name, const QString& text);
    WineRegistryText& dword(const QString& name, std::uint32_t number);
    WineRegistryText& binary(const QString& name, const QByteArray& bytes, std::uint32_t type = 3);
    // Adds a line exactly as given.
    WineRegistryText& line(const QByteArray& raw);

    // The registration of a type library as RegisterTypeLib leaves it: the version key with the
    // description, its locale's win32 key with the file's path, FLAGS and HELPDIR.
    WineRegistryText& typeLib(const QString& guid, const QString& version, const QString& locale,
                              const QString& win32Path, const QString& description);

    // The same as a Wine without its 32-bit half leaves it: the locale's win64 key instead of
    // win32 (no FLAGS or HELPDIR, which no lookup reads).
    WineRegistryText& typeLib64(const QString& guid, const QString& version, const QString& locale,
                                const QString& win64Path, const QString& description);

    QByteArray text() const { return text_; }
    // Writes system.reg (or user.reg) at the root of the prefix.
    void writeTo(const TempPrefix& prefix) const;

private:
    Hive hive_;
    QByteArray text_;
};
