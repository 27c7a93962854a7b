#pragma once

// Files that never end, planted where the program reads: a FIFO no one writes (opening it for
// reading blocks) and the endless devices.

#include <QFile>
#include <QString>
#include <chrono>
#include <fcntl.h>
#include <functional>
#include <future>
#include <sys/stat.h>
#include <unistd.h>

// Makes a FIFO at `path`; false when it cannot.
inline bool makeFifo(const QString& path)
{
    return ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0;
}

// Runs `work` on a thread of its own and tells whether it returned within `limit`. When it did not,
// the FIFO at `fifo` is opened for writing and closed, which ends a read blocked on it, so the
// test ends either way.
inline bool returnsWithin(const std::function<void()>& work, const QString& fifo,
                          std::chrono::seconds limit = std::chrono::seconds(10))
{
    auto done = std::async(std::launch::async, work);
    if (done.wait_for(limit) == std::future_status::ready) {
        done.get();
        return true;
    }
    for (;;) {
        const int fd = ::open(QFile::encodeName(fifo).constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd >= 0) {
            ::close(fd);
            break;
        }
        ::usleep(10000);
    }
    done.get();
    return false;
}
