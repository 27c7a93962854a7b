#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// A throw-away Wine prefix laid out as Wine lays it out (drive_c, dosdevices/c: and z:),
// made the current prefix of the platform layer while it lives.
class TempPrefix {
public:
    TempPrefix();
    ~TempPrefix();

    // Host folder of the prefix.
    QString root() const { return dir_.path(); }
    // Host path of a path below drive_c, such as "tmp/a.vbp".
    QString hostPath(const QString& belowDriveC) const;
    // Writes raw bytes to a file below drive_c, making its folders.
    void writeFile(const QString& belowDriveC, const QByteArray& bytes) const;
    // Writes lines in windows-1252 joined by `lineEnd` (and ended by it when `endLast`).
    void writeLines(const QString& belowDriveC, const QStringList& lines, const QByteArray& lineEnd = "\r\n",
                    bool endLast = true) const;
    void makeFolder(const QString& belowDriveC) const;

private:
    QTemporaryDir dir_;
    QString previousPrefix_;
};

// Runs zantrel-cli with `arguments` and the given prefix; returns its exit status and fills
// the standard output and error. `launcher` (a program and its options) starts it, if given.
int RunCli(const QStringList& arguments, const QString& prefix, QByteArray* out, QByteArray* err,
           const QStringList& launcher = {});
