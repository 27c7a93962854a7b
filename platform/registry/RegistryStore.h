#pragma once

// The prefix's registry as Windows programs see it: the machine and user hives and
// HKEY_CLASSES_ROOT merged over them.

#include "platform/registry/HiveFile.h"
#include "platform/registry/RegistryHive.h"

#include <QString>
#include <QStringList>
#include <QStringView>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

class MachineHives;
class PathMapper;

// The predefined root keys, numbered as Windows numbers their handles.
enum class RegistryRoot : std::uint32_t {
    ClassesRoot = 0x80000000u,
    CurrentUser = 0x80000001u,
    LocalMachine = 0x80000002u,
    Users = 0x80000003u,
    CurrentConfig = 0x80000005u,
};

// Which view of the registry a read takes on a 64-bit system: a 32-bit program's, whose class
// keys under HKEY_CLASSES_ROOT come from Wow6432Node, or a 64-bit program's, which sees them as
// they stand. On a 32-bit system both are the same.
enum class RegistryView { Program32, Native };

// The Windows error codes registry operations return, under their Windows names and numbers:
// the store and the Reg* functions over it (WinRegistry.h) speak the same codes.
namespace WinApi {
using LONG = std::int32_t;

constexpr LONG ERROR_SUCCESS = 0;
constexpr LONG ERROR_FILE_NOT_FOUND = 2;
constexpr LONG ERROR_ACCESS_DENIED = 5;
constexpr LONG ERROR_INVALID_HANDLE = 6;
constexpr LONG ERROR_INVALID_PARAMETER = 87;
constexpr LONG ERROR_BAD_PATHNAME = 161;
constexpr LONG ERROR_MORE_DATA = 234;
constexpr LONG ERROR_NO_MORE_ITEMS = 259;
constexpr LONG ERROR_REGISTRY_IO_FAILED = 1016;
}

// The registry of one Wine prefix, as a Windows program in it sees it: HKEY_LOCAL_MACHINE is
// the prefix's system.reg, HKEY_CURRENT_USER its user.reg, HKEY_CLASSES_ROOT the user's
// Software\Classes laid over the machine's (reads look in the user's first, listings merge,
// writes go to the user's copy of a key when it has one and to the machine's otherwise),
// HKEY_USERS holds the user's key under its SID, and HKEY_CURRENT_CONFIG is the machine's
// current hardware profile. A prefix without registry files is an empty registry.
//
// Key paths are given below a root ("TypeLib\{GUID}\2.0"), components separated by backslashes,
// key and value names compared ignoring case. Every change is written to its file before the
// call returns; a change that cannot be written is undone and reported as ERROR_REGISTRY_IO_FAILED.
// The files are read again when they change on disk (Wine saving them, a test writing them).
//
// On a Windows system's disk (PathMapper::isWindowsRoot) the store reads the machine's hive files
// instead (MachineHives): HKEY_LOCAL_MACHINE\Software and \System, HKEY_CURRENT_USER from the
// user's NTUSER.DAT with Software\Classes from UsrClass.dat, HKEY_CLASSES_ROOT the user's classes
// over the machine's. That store is read-only: every change fails with ERROR_ACCESS_DENIED.
//
// On a 64-bit system the class keys a 32-bit program reads through HKEY_CLASSES_ROOT (CLSID,
// Interface and the few others Windows redirects) come from Wow6432Node, in either store; type
// libraries and everything else are shared.
//
// The Windows-shaped functions the program calls (WinApi::RegOpenKeyExA and the others) sit on
// this class; on Windows the real registry stands in their place and this class is not needed.
//
// REQUIRES: one thread at a time.
class RegistryStore {
public:
    explicit RegistryStore(const QString& prefixDir);
    // The read-only store of the Windows root `paths` maps.
    explicit RegistryStore(const PathMapper& paths);
    ~RegistryStore();

    // The store of the current world (PathMapper::current()), made on first use and made
    // anew when the current prefix or root changes. Open handles keep the store they were opened in.
    static std::shared_ptr<RegistryStore> current();
    // Forgets the shared store, so the next current() reads the files again.
    static void resetCurrent();

    const QString& prefix() const { return prefix_; }
    // True for a prefix with drive_c/windows/syswow64 or a root with Windows\SysWOW64, where a
    // 32-bit program runs under WoW64.
    bool is64Bit() const { return win64_; }
    // The hives of a Windows root (their error and notices); null for a prefix.
    const MachineHives* machineHives() const { return hives_.get(); }

    // ERROR_SUCCESS when the key exists; ERROR_FILE_NOT_FOUND when it does not;
    // ERROR_BAD_PATHNAME for a path that starts with a backslash; ERROR_INVALID_HANDLE for an
    // unknown root.
    WinApi::LONG checkKey(RegistryRoot root, QStringView path, RegistryView view = RegistryView::Program32);
    bool keyExists(RegistryRoot root, QStringView path, RegistryView view = RegistryView::Program32)
    {
        return checkKey(root, path, view) == WinApi::ERROR_SUCCESS;
    }

    // Names of the key's subkeys, in Windows' order (ignoring case); empty for a missing key.
    QStringList subkeyNames(RegistryRoot root, QStringView path, RegistryView view = RegistryView::Program32);
    // The key's values, ordered by name; empty for a missing key.
    std::vector<RegistryValue> values(RegistryRoot root, QStringView path, RegistryView view = RegistryView::Program32);
    // One value (an empty name is the default value), or nothing when the key or value is missing.
    std::optional<RegistryValue> value(RegistryRoot root, QStringView path, QStringView name,
                                       RegistryView view = RegistryView::Program32);
    // The text of a string value (REG_SZ, REG_EXPAND_SZ unexpanded, REG_MULTI_SZ up to its
    // first separator); empty when the value is missing or of another type.
    QString text(RegistryRoot root, QStringView path, QStringView name = {}, RegistryView view = RegistryView::Program32);

    // Opens the key, making it and its missing parents. `created` tells whether it was new.
    // ERROR_INVALID_PARAMETER for a name longer than Wine allows or a path deeper than 512 levels.
    WinApi::LONG createKey(RegistryRoot root, QStringView path, bool* created = nullptr);
    // Sets a value of an existing key. ERROR_FILE_NOT_FOUND when the key is missing.
    WinApi::LONG setValue(RegistryRoot root, QStringView path, RegistryValue value);
    // Deletes a key that has no subkeys (ERROR_ACCESS_DENIED when it has some, or for a root).
    WinApi::LONG deleteKey(RegistryRoot root, QStringView path);
    // ERROR_FILE_NOT_FOUND when the key or the value is missing.
    WinApi::LONG deleteValue(RegistryRoot root, QStringView path, QStringView name);

    // Reads the machine and user hives from the given texts instead of the prefix's files (as
    // RegistryHive::loadText), until those files change on disk. For tests and fuzzing.
    void loadText(QByteArray machine, QByteArray user = {});

    // Reads the files again if they changed on disk. Every operation above does this first.
    void refresh();
    // Changes whenever what the store holds changed (a change, a file read again); it does not
    // look at the files (refresh() does).
    std::uint64_t generation() const;

private:
    // Where a root's keys lie: in a Wine text hive or in a hive file, below a base path.
    struct Layer {
        RegistryHive* hive = nullptr;
        const HiveFile* file = nullptr;
        std::vector<QStringView> base; // the root's own path inside the hive
    };
    struct Location {
        Layer layers[3];
        int count = 0;   // layers in reading order (user's classes before the machine's)
        bool listsOnly = false; // HKEY_USERS itself, which only lists the user's SID, or (on a
                                // Windows root) HKEY_LOCAL_MACHINE itself, which lists its hives
        QStringList rootNames;  // what such a root lists, on a Windows root
        WinApi::LONG error = WinApi::ERROR_SUCCESS;
        std::vector<QStringView> parts; // the path below the root
    };

    Location locate(RegistryRoot root, QStringView path, RegistryView view = RegistryView::Program32);
    void locateInHives(RegistryRoot root, Location& where);
    RegistryKey* keyIn(const Layer& layer, const std::vector<QStringView>& parts);
    std::optional<HiveKey> fileKeyIn(const Layer& layer, const std::vector<QStringView>& parts) const;
    bool existsIn(const Layer& layer, const std::vector<QStringView>& parts);
    WinApi::LONG commit(RegistryHive& hive);
    QString userSid();

    QString prefix_;
    bool win64_;
    std::unique_ptr<RegistryHive> machine_;
    std::unique_ptr<RegistryHive> user_;
    std::unique_ptr<MachineHives> hives_; // a Windows root's, in place of the two above
    QString windowsUser_;                 // the user asked for on a Windows root
    QString controlSet_;                  // the set a prefix's CurrentControlSet links to, for
                                          // the path being located (its parts view it)
};
