#pragma once

#include <QByteArray>
#include <QString>
#include <sys/stat.h>

// Whether a symbolic link at the name is followed. A name the program or the prefix chooses (the
// settings file) is opened without following one: a link planted there would have the program
// read, and later copy into a file of its own, whatever it points to.
enum class FollowLinks { Yes, No };

// The one way the program opens a host file to read it: only a regular file is opened. A device
// is never opened (opening some has effects), and a FIFO or device that appears between the
// check and the open neither blocks the open (it is made without blocking, and blocking reads are
// turned back on only once the file is known to be regular) nor passes the second check.
struct OpenedFile {
    int fd = -1;             // the descriptor (read-only, close-on-exec), or -1; the caller closes it
    int error = 0;           // errno of the failure; EACCES for something that is not a regular file
    bool notRegular = false; // the name exists but is not a regular file
    bool link = false;       // the name is a symbolic link, not followed (error is ELOOP)
    struct stat status {};   // the open file's status
};
OpenedFile OpenRegularFile(const QString& hostPath, FollowLinks links = FollowLinks::Yes);

// A whole file read through OpenRegularFile, up to a bound: a file that never ends (a FIFO or a
// device planted at the name, a file growing while read) costs at most `limit` bytes of memory.
struct FileContents {
    QByteArray bytes;        // what was read; empty on failure
    int error = 0;           // errno of the failure (EFBIG past the bound); 0 when read
    bool missing = false;    // nothing at the name (ENOENT, ENOTDIR)
    bool notRegular = false; // a folder, FIFO, device or socket
    bool link = false;       // a symbolic link, not followed
    bool tooLarge = false;   // more than `limit` bytes
    qint64 limit = 0;        // the bound it was read with
    bool ok() const { return error == 0; }
    // Why it was not read, in words ("a symbolic link, not followed", "larger than 16777216 bytes",
    // the system's text); empty when it was.
    QString reason() const;
};

// What a read past the bound gives.
enum class PastTheBound {
    Fail,     // nothing: the file is too large (tooLarge, EFBIG)
    KeepHead, // the first `limit` bytes, as a success (to look at a file's head)
};

FileContents ReadRegularFile(const QString& hostPath, qint64 limit, FollowLinks links,
                             PastTheBound past = PastTheBound::Fail);

// Whether a regular file (links followed) lies at a host path; nothing is opened.
bool IsRegularFile(const QString& hostPath);
