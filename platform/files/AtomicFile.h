#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// A file replaced in one step: the new contents go to a temporary file beside it, every write,
// the flush and the sync to disk are checked, and only then is the temporary file renamed over
// the old name. On any failure the old file stays as it was, the temporary file is removed, and
// the failure (the system's error number and description) can be asked for. A full disk or a
// failing device therefore never turns a good file into a short one. A replaced file keeps its
// permissions; a new one gets the usual ones under the umask. Temporary files an earlier run left
// for the same name when it was killed (older than this run's start) are removed at open().
class AtomicFile {
public:
    // What happens when the name is a symbolic link.
    enum class Links {
        // The program chose the name itself: the link is replaced by the new file; whatever it
        // pointed to is never written.
        ReplaceLink,
        // The user typed the name: the file it refers to is replaced, as editors do.
        WriteTarget,
    };

    struct Failure {
        int number = 0;      // errno of the failing step; 0 when nothing failed
        QString description; // the system's text for it
        QString path;        // the host file the step worked on
        bool failed() const { return number != 0; }
    };

    AtomicFile(const QString& hostPath, Links links);
    ~AtomicFile(); // removes the temporary file unless commit() succeeded
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Creates the temporary file; false (with failure()) when it cannot be made.
    bool open();
    // Appends bytes; false on any short or failed write. Writes after a failure do nothing.
    bool write(QByteArrayView bytes);
    // Syncs and closes the temporary file; false on failure, which removes it. Separate from
    // commit() so several files can be written in full before any of them replaces its old copy.
    bool finish();
    // finish() if not done, then renames the temporary file over the destination.
    bool commit();

    const Failure& failure() const { return failure_; }
    // The host file that is (or will be) replaced: the name itself, or the link's target.
    const QString& destination() const { return destination_; }

    // One call for a whole file.
    static bool writeFile(const QString& hostPath, QByteArrayView bytes, Links links, Failure* failure = nullptr);

private:
    bool fail(int number, const QString& path);
    void discard();

    QString destination_;
    QByteArray temporary_; // local 8-bit path of the temporary file
    int fd_ = -1;
    bool finished_ = false;
    bool committed_ = false;
    Failure failure_;
};

// Raises the ProgramError a failed write stands for: 61 "Disk full" when the device is full, 76
// "Path not found" when its folder is missing, 57 for a device error, else 75 "Path/File access
// error"; the description adds the system's own text, its error number and the file.
[[noreturn]] void RaiseWriteFailure(const AtomicFile::Failure& failure);
