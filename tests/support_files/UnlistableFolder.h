#pragma once

#include <QString>
#include <QStringList>
#include <linux/capability.h>

// A folder this process really cannot list while the object lives. Its mode becomes 000; when the
// process runs as root, which reads any folder, the calling thread also gives up the effective
// capabilities that bypass permission bits (CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH), so the bits
// hold for it as for any user. Everything is put back on destruction.
class UnlistableFolder {
public:
    explicit UnlistableFolder(QString hostFolder);
    ~UnlistableFolder();
    UnlistableFolder(const UnlistableFolder&) = delete;
    UnlistableFolder& operator=(const UnlistableFolder&) = delete;

    // True when listing the folder now really fails (checked with opendir).
    bool unlistable() const;

    // The words to put before a program's command line so that it, too, runs without those
    // capabilities: setpriv with a reduced bounding set as root, nothing otherwise.
    static QStringList WithoutPermissionBypass();

private:
    QString folder_;
    bool dropped_ = false;
    __user_cap_data_struct saved_[2] {};
};

// A file this process really cannot open while the object lives: mode 000, and as root the same
// capabilities as for UnlistableFolder are given up by the calling thread. Put back on destruction.
class UnreadableFile {
public:
    explicit UnreadableFile(QString hostFile);
    ~UnreadableFile();
    UnreadableFile(const UnreadableFile&) = delete;
    UnreadableFile& operator=(const UnreadableFile&) = delete;

    // True when opening the file for reading now really fails (checked with open).
    bool unreadable() const;

private:
    QString file_;
    bool dropped_ = false;
    __user_cap_data_struct saved_[2] {};
};
