#pragma once

// The registry of a Windows machine's disk: its hive files, found where Windows keeps them, and
// the user whose hives stand for HKEY_CURRENT_USER.

#include "platform/registry/HiveFile.h"

#include <QString>
#include <QStringList>
#include <memory>

class PathMapper;

// The hives of the Windows system a PathMapper over a Windows root reads:
//   HKLM\Software  Windows\System32\config\SOFTWARE (a missing or unreadable one is an error)
//   HKLM\System    Windows\System32\config\SYSTEM, CurrentControlSet being the control set
//                  Select\Current names
//   HKCU           the user's NTUSER.DAT, HKCU\Software\Classes the user's UsrClass.dat
// The user is the one the mapper names (WindowsRoot::user, matched ignoring case against the
// profile folders), else the only profile, else the one whose NTUSER.DAT was written last.
// Profiles come from the machine's ProfileList (with their SIDs), else from the folders under
// Users (or Documents and Settings) that hold an NTUSER.DAT.
class MachineHives {
public:
    explicit MachineHives(const PathMapper& paths);
    ~MachineHives();
    MachineHives(const MachineHives&) = delete;
    MachineHives& operator=(const MachineHives&) = delete;

    // Why the machine's registry cannot be read, naming the file or folder expected (no Windows
    // folder, no SOFTWARE hive, or the reason hivex refused it); empty when it can.
    const QString& error() const { return error_; }
    // What a user should know about what is read, one plain English sentence each: which user
    // (and why that one), a hive not closed cleanly, a missing SYSTEM or user hive.
    const QStringList& notices() const { return notices_; }
    // Host paths of the hives read that Windows did not close cleanly.
    const QStringList& uncleanHives() const { return uncleanHives_; }

    // Null where the hive is missing or cannot be read.
    const HiveFile* software() const { return open(software_); }
    const HiveFile* system() const { return open(system_); }
    const HiveFile* user() const { return open(user_); }
    const HiveFile* userClasses() const { return open(userClasses_); }

    // The control set CurrentControlSet stands for ("ControlSet001").
    const QString& controlSet() const { return controlSet_; }
    // The user read as HKEY_CURRENT_USER (the profile folder's name) and its SID, both empty when
    // no profile was found.
    const QString& userName() const { return userName_; }
    const QString& userSid() const { return userSid_; }
    // The user's profile folder in Windows form ("C:\Users\ana"); empty with no user.
    const QString& userProfile() const { return userProfile_; }
    // Whether the machine runs 64-bit Windows (it has a SysWOW64 folder).
    bool is64Bit() const { return win64_; }

private:
    struct Profile {
        QString name;       // the profile folder's name
        QString sid;        // empty when only the folder told of it
        QString hostFolder; // the profile folder on the host
        QString windowsFolder; // the same in Windows form
    };

    static const HiveFile* open(const std::unique_ptr<HiveFile>& hive) { return hive && hive->isOpen() ? hive.get() : nullptr; }
    std::unique_ptr<HiveFile> openHive(const PathMapper& paths, const QString& windowsPath, const QString& what, bool required);
    std::vector<Profile> profiles(const PathMapper& paths) const;
    void chooseUser(const PathMapper& paths, const QString& asked);
    void findControlSet();

    QString error_;
    QStringList notices_;
    QStringList uncleanHives_;
    std::unique_ptr<HiveFile> software_;
    std::unique_ptr<HiveFile> system_;
    std::unique_ptr<HiveFile> user_;
    std::unique_ptr<HiveFile> userClasses_;
    QString controlSet_ = QStringLiteral("ControlSet001");
    QString userName_;
    QString userSid_;
    QString userProfile_;
    bool win64_ = false;
};
