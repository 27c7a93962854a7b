#pragma once

#include <QChar>
#include <QString>
#include <array>
#include <optional>
#include <utility>
#include <vector>

// A Windows system's disk seen from Linux (a mounted partition, a virtual machine's image, a copy
// of its folders) as the Windows world, in place of a Wine prefix.
struct WindowsRoot {
    QString root;                                  // the host folder that is drive C:
    std::vector<std::pair<QChar, QString>> drives; // further drives, only those asked for
    QString user;                                  // the profile read as HKEY_CURRENT_USER; empty:
                                                   // the only one, else the most recently used
};

// The Windows file system as a Windows program sees it inside a Wine prefix: drive letters from
// the prefix's dosdevices links, resolved on the host component by component, ignoring case, as
// Wine resolves them. Or that of a Windows system's disk (WindowsRoot): its folder is C:, the
// drives asked for are theirs, names match ignoring case as on NTFS, and nothing under them is
// ever written (isReadOnly). Either way Z: is the host's root unless a drive says otherwise, so
// the program's own files (its settings, what it writes) keep a Windows form. The rest of the program keeps paths in Windows form ("c:\tmp\a.vbp"); only
// the platform layer turns them into host paths through this class. On Windows the mapping is the
// identity and this class is not needed.
class PathMapper {
public:
    // A mapper for the prefix at `prefixDir` (a host folder). A prefix that does not exist, or has
    // no dosdevices, leaves only drive Z:, which is the host's root.
    explicit PathMapper(const QString& prefixDir);
    // A mapper for a Windows system's disk.
    explicit PathMapper(const WindowsRoot& root);

    // The Windows root $ZANTREL_WINDOWS names, if it is set and not empty.
    static std::optional<WindowsRoot> windowsRootFromEnvironment();

    // The prefix Wine itself would use: $WINEPREFIX, else ~/.wine.
    static QString defaultPrefix();

    // The mapper every platform routine uses; made on first use from $ZANTREL_WINDOWS when it is
    // set (a Windows root wins over a prefix), else from defaultPrefix().
    static const PathMapper& current();
    // Replaces the mapper every platform routine uses (tests, the command line's options).
    static void setCurrent(const QString& prefixDir);
    static void setCurrent(const WindowsRoot& root);

    // The prefix's host folder, or the Windows root's (drive C:).
    const QString& prefix() const { return prefix_; }
    // The program the world is seen for: a 32-bit one (a Visual Basic program, the default), for
    // which C:\windows\system32 is the 32-bit view and type libraries are registered under
    // win32; or a 64-bit one, which sees system32 itself and win64 registrations first.
    static void setProgram64Bit(bool program64Bit);
    static bool program64Bit();

    // Whether the world is a Windows system's disk rather than a Wine prefix.
    bool isWindowsRoot() const { return windowsRoot_; }
    // The profile asked for as HKEY_CURRENT_USER on a Windows root (empty: let the registry choose).
    const QString& windowsUser() const { return windowsUser_; }
    // Whether `hostPath` lies on a drive of a Windows root (links resolved), where nothing may be
    // written. Always false in a prefix.
    bool isReadOnly(const QString& hostPath) const;

    // Host folder that drive `letter` stands for, or an empty string when the drive is unknown.
    QString driveRoot(QChar letter) const;

    // Host path of an absolute Windows path such as "c:\tmp\a.vbp" or "C:/tmp". Each component is
    // matched ignoring case when no exact match exists; components that do not exist are kept as
    // written, so a file about to be created can be named. In a prefix with a syswow64 folder,
    // C:\windows\system32 is the 32-bit view. Returns an empty string for a relative path, a
    // path on an unknown drive, or a UNC path.
    QString toHost(const QString& windowsPath) const;

    // Host path of `windowsPath` as a 64-bit program sees it: as toHost, except that
    // C:\windows\system32 is the prefix's own system32 folder, never the 32-bit view. Where the
    // prefix has no 32-bit view the two are the same.
    QString toHostNative(const QString& windowsPath) const;

    // Whether C:\windows\system32 is the 32-bit view (the prefix has a syswow64 folder).
    bool redirectsSystem32() const { return !system32Windows_.isEmpty(); }

    // The host path `windowsPath` names when every component exists exactly as written (the
    // common case), without asking the file system; callers that then find nothing there fall
    // back to toHost. Empty where toHost is empty.
    QString toHostAsWritten(const QString& windowsPath) const;

    // Windows form of a host path, through the drive whose folder holds it (the longest match),
    // else through Z:. The folders on the way may be links; the last name is kept as given, even
    // when it is a link. The result uses backslashes and an upper-case drive letter.
    QString toWindows(const QString& hostPath) const;

    // True for "x:" and "x:\..." forms.
    static bool isDrivePath(const QString& path);

private:
    // Z: where no drive took it, and the 32-bit view of the system folder where there is one.
    void finishDrives();
    // The drive's host folder and the path's components below it, with "." and ".." applied and
    // system32 redirected unless `native`; false when the path has no host form.
    bool split(const QString& windowsPath, QString& root, QStringList& components, bool native = false) const;
    QString resolveBelow(QString hostDir, const QStringList& components) const;

    QString prefix_;
    std::array<QString, 26> drives_;          // host folder of each letter, as the link points
    std::array<QString, 26> canonicalDrives_; // the same, with links resolved, for mapping back
    QString system32Windows_;                 // "windows\system32" relative to C:'s root, if redirected
    bool windowsRoot_ = false;
    bool machineZ_ = false; // Z: is one of the machine's drives, asked for
    QString windowsUser_;
};
