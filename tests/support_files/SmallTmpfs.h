#pragma once

#include <QString>
#include <QTemporaryDir>

// A tiny tmpfs mounted on a temporary folder for as long as the object lives, to make a full
// disk real. Mounting needs root (as the tests run in CI); where it is not permitted, mounted()
// is false and whyNot() says why, for GTEST_SKIP.
class SmallTmpfs {
public:
    explicit SmallTmpfs(int kilobytes = 64);
    ~SmallTmpfs();
    SmallTmpfs(const SmallTmpfs&) = delete;
    SmallTmpfs& operator=(const SmallTmpfs&) = delete;

    bool mounted() const { return mounted_; }
    const QString& whyNot() const { return whyNot_; }
    QString path() const { return dir_.path(); }

    // Takes every free block with a filler file, so the next write finds no space.
    void fill() const;

private:
    QTemporaryDir dir_;
    bool mounted_ = false;
    QString whyNot_;
};

// Skips the running test when the tmpfs could not be mounted.
#define REQUIRE_TMPFS(fs)                                                                        \
    do {                                                                                         \
        if (!(fs).mounted())                                                                     \
            GTEST_SKIP() << "needs a mounted tmpfs for a full disk: " << (fs).whyNot().toStdString(); \
    } while (0)
