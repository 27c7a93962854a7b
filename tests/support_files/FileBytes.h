#pragma once

// Whole files read and written by the tests, with failures that say so.

#include <QByteArray>
#include <QFile>
#include <QString>
#include <cstdio>
#include <gtest/gtest.h>

// The file's bytes. A file that cannot be read fails the test, naming the file and the reason, and
// reads as "<unreadable>", which no expectation of a test matches. A test that expects a file to be
// missing says so with QFileInfo::exists rather than through this.
inline QByteArray readAll(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        ADD_FAILURE() << "cannot read " << path.toStdString() << ": " << file.errorString().toStdString();
        return QByteArray("<unreadable>");
    }
    return file.readAll();
}

// Replaces the file's bytes, failing the test when it cannot.
inline void writeAll(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

// Writes a file whose host name is given as bytes (such as a name that is not valid UTF-8, which
// a QString path would not keep), failing the test when it cannot.
inline void writeAllAtHostName(const QByteArray& hostName, const QByteArray& bytes)
{
    FILE* file = std::fopen(hostName.constData(), "wb");
    ASSERT_NE(file, nullptr) << hostName.constData();
    const size_t written = std::fwrite(bytes.constData(), 1, size_t(bytes.size()), file);
    ASSERT_EQ(std::fclose(file), 0);
    ASSERT_EQ(written, size_t(bytes.size()));
}
