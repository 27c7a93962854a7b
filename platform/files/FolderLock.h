#pragma once

#include <QString>

// An advisory lock on a folder, held while the object lives: runs of the program that write a
// set of files into one folder (the workbook and its log) take it around the whole set, so one
// run's files are never mixed with another's. The lock is the system's lock on the folder itself
// (flock), so nothing is created in the folder and a killed run leaves no lock behind.
class FolderLock {
public:
    // Waits up to `waitMs` milliseconds for the lock on `hostFolder`.
    FolderLock(const QString& hostFolder, int waitMs);
    ~FolderLock();
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

    bool locked() const { return locked_; }
    // errno of the failure (EWOULDBLOCK when another run kept the lock for the whole wait).
    int error() const { return error_; }

private:
    int fd_ = -1;
    bool locked_ = false;
    int error_ = 0;
};
