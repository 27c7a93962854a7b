#pragma once

// The head of a text file read up to a bound, in whole lines: the readers of the files a program's
// sources name (source files, dependency files) read no more than a bound of any file, and never
// half a line, which could read as a shorter line that is not in the file.

#include <QByteArray>
#include <QString>

struct TextHead {
    QByteArray bytes; // the lines that end within the bound; all of a file that fits in it
    QString problem;  // why not all of the file was read, or none of it; empty when all was
};

// The head of `bytes` within `limit` bytes.
TextHead HeadWithin(const QByteArray& bytes, qsizetype limit);

// The head of the regular file at `hostPath` within `limit` bytes (links followed; a FIFO or
// device is refused without blocking, and no more than `limit` + 1 bytes are read).
TextHead ReadTextHead(const QString& hostPath, qsizetype limit);
