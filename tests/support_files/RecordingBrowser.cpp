#include "support_files/RecordingBrowser.h"

#include "platform/desktop/ShellExecute.h"

#include <QFile>
#include <QStandardPaths>

namespace {

// What makes xdg-open pick a desktop's own opener, or look for handlers of a display.
const char* const DesktopVariables[] = {
    "DISPLAY", "WAYLAND_DISPLAY", "XDG_CURRENT_DESKTOP", "DESKTOP_SESSION", "KDE_FULL_SESSION", "KDE_SESSION_VERSION",
    "GNOME_DESKTOP_SESSION_ID", "MATE_DESKTOP_SESSION_ID", "LXQT_SESSION_CONFIG", "BROWSER", "MAILCAPS",
};

}

RecordingBrowser::RecordingBrowser(int exitStatus, int seconds)
    : previousWait_(ShellExecuteWait())
{
    for (const char* name : DesktopVariables) {
        if (qEnvironmentVariableIsSet(name))
            saved_.append({name, qgetenv(name)});
        else
            unset_.append(name);
        qunsetenv(name);
    }
    behave(exitStatus, seconds);
    QFile empty(dir_.filePath(QStringLiteral("mailcap")));
    empty.open(QIODevice::WriteOnly);
    qputenv("MAILCAPS", empty.fileName().toLocal8Bit());
    qputenv("BROWSER", dir_.filePath(QStringLiteral("browser")).toLocal8Bit());
    // A loaded machine can be slow to reach a verdict; nothing here should pass for a
    // still-running opener unless a test asks for it.
    SetShellExecuteWait(60000);
}

RecordingBrowser::~RecordingBrowser()
{
    release();
    for (const QByteArray& name : unset_)
        qunsetenv(name.constData());
    for (const auto& [name, value] : saved_)
        qputenv(name.constData(), value);
    SetShellExecuteWait(previousWait_);
}

void RecordingBrowser::behave(int exitStatus, int seconds)
{
    QFile script(dir_.filePath(QStringLiteral("browser")));
    script.open(QIODevice::WriteOnly | QIODevice::Truncate);
    script.write("#!/bin/sh\nprintf '%s\\n' \"$1\" >> '" + dir_.filePath(QStringLiteral("opened.txt")).toLocal8Bit()
                 + "'\n");
    if (seconds > 0)
        script.write("sleep " + QByteArray::number(seconds) + "\n");
    script.write("exit " + QByteArray::number(exitStatus) + "\n");
    script.close();
    script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

void RecordingBrowser::hold()
{
    const QByteArray released = dir_.filePath(QStringLiteral("released")).toLocal8Bit();
    QFile::remove(QString::fromLocal8Bit(released));
    QFile script(dir_.filePath(QStringLiteral("browser")));
    script.open(QIODevice::WriteOnly | QIODevice::Truncate);
    script.write("#!/bin/sh\nprintf '%s\\n' \"$1\" >> '" + dir_.filePath(QStringLiteral("opened.txt")).toLocal8Bit()
                 + "'\ni=0\nwhile [ ! -e '" + released + "' ] && [ $i -lt 2400 ]; do sleep 0.05; i=$((i+1)); done\n"
                 "[ -e '" + released + "' ] || exit 1\nexit 0\n");
    script.close();
    script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

void RecordingBrowser::release()
{
    QFile released(dir_.filePath(QStringLiteral("released")));
    released.open(QIODevice::WriteOnly);
}

QStringList RecordingBrowser::opened() const
{
    QFile record(dir_.filePath(QStringLiteral("opened.txt")));
    if (!record.open(QIODevice::ReadOnly))
        return {};
    QStringList lines = QString::fromLocal8Bit(record.readAll()).split(u'\n');
    lines.removeLast(); // after the last line's end
    return lines;
}

bool RecordingBrowser::openerInstalled()
{
    return !QStandardPaths::findExecutable(QStringLiteral("xdg-open")).isEmpty();
}
