#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <utility>

// A stand-in browser for the desktop's opener: a small script in a temporary folder that writes
// each target it is handed to a file, one line each, and exits with a chosen status. While it
// lives, xdg-open runs as on a machine without a desktop (no display, no desktop session) and
// finds it through BROWSER; the environment and the opener's wait are restored afterwards.
class RecordingBrowser {
public:
    // A browser that exits with `exitStatus` (0 opens, anything else fails) after `seconds` of
    // sleep (0: none).
    explicit RecordingBrowser(int exitStatus = 0, int seconds = 0);
    ~RecordingBrowser();
    RecordingBrowser(const RecordingBrowser&) = delete;
    RecordingBrowser& operator=(const RecordingBrowser&) = delete;

    // Rewrites the script to exit with `exitStatus` after `seconds`.
    void behave(int exitStatus, int seconds = 0);
    // Rewrites the script to record its target and then keep running until release() (it gives up
    // after two minutes with status 1, so that an opener waiting for it fails rather than hangs).
    void hold();
    // Lets a held browser exit with status 0.
    void release();
    // The targets handed to the browser so far, in order.
    QStringList opened() const;
    // A folder of the test's own, for files to open.
    QString folder() const { return dir_.path(); }

    // True when xdg-open is on the PATH.
    static bool openerInstalled();

private:
    QTemporaryDir dir_;
    QList<std::pair<QByteArray, QByteArray>> saved_; // name, value ("" = was unset)
    QList<QByteArray> unset_;
    int previousWait_;
};
