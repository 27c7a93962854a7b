#pragma once

#include <QString>
#include <sys/stat.h>

// The one way the program opens a host file to read it: only a regular file is opened. A device
// is never opened (opening some has effects), and a FIFO or device that appears between the
// check and the open neither blocks the open nor passes the second check.
struct OpenedFile {
    int fd = -1;             // the descriptor (read-only, close-on-exec), or -1; the caller closes it
    int error = 0;           // errno of the failure; EACCES for something that is not a regular file
    bool notRegular = false; // the name exists but is not a regular file
    struct stat status {};   // the open file's status
};
OpenedFile OpenRegularFile(const QString& hostPath);

// Whether a regular file (links followed) lies at a host path; nothing is opened.
bool IsRegularFile(const QString& hostPath);
