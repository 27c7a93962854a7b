#pragma once

#include <QDateTime>
#include <QString>
#include <optional>

// What the program learns of a file it measures: its size and its last-write time.
struct FileFacts {
    qint64 size = 0;
    QDateTime lastWrite; // local time
};

// Opens the regular file at a Windows path for reading (never blocking on a FIFO) and reads its
// facts; nothing when it cannot be opened (missing, a folder or device, no permission).
std::optional<FileFacts> ReadFileFacts(const QString& windowsPath);
