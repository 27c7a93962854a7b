#pragma once

// Opening a document or link with its associated application, through xdg-open.

#include <QString>
#include <cstdint>
#include <functional>

class QWidget;

// The shell's "open with the associated application" call, under its Windows name, carried out
// by the desktop's own opener, xdg-open. The opener is started with the target as its one
// argument (never through a shell), and what goes wrong is reported with the values Windows
// returns, so callers read the result as they would on Windows. On Windows the system's own
// ShellExecuteA takes its place and the rest of this file is not needed.
namespace WinApi {

using HINSTANCE = std::intptr_t;

// Show codes.
constexpr int SW_HIDE = 0;
constexpr int SW_SHOWNORMAL = 1;
constexpr int SW_SHOWDEFAULT = 10;

// Values returned on failure (0 to 32).
constexpr HINSTANCE SE_ERR_OOM = 0;
constexpr HINSTANCE SE_ERR_FNF = 2;
constexpr HINSTANCE SE_ERR_PNF = 3;
constexpr HINSTANCE SE_ERR_OPENFAILED = 4; // the opener or the application it started failed
constexpr HINSTANCE SE_ERR_ACCESSDENIED = 5;
constexpr HINSTANCE SE_ERR_NOASSOC = 31;
constexpr HINSTANCE SE_ERR_DLLNOTFOUND = 32;
// The value returned on success; any value above 32 means success.
constexpr HINSTANCE ShellExecuteOpened = 42;

// Performs `operation` on `file` and returns a value above 32 on success, or a failure value
// from 0 to 32:
// - `operation` is "open" or "explore" (any letter case), or empty for "open"; any other verb
//   has no application and gives 31.
// - `file` is a link (a URL whose scheme has two letters or more, such as "https:" or
//   "mailto:"), passed to the opener as written; or a document, program or folder named by a
//   Windows path, mapped to the host through the prefix's drives. A relative path is taken
//   below `directory`, else below the current folder. A missing file in an existing folder
//   gives 2, a missing folder or unknown drive 3, a file that cannot be read 5; an empty
//   `file` gives 2.
// - `directory`, when not empty, must be an existing folder (else 3); the opener starts in it.
// - The opener's verdict: 0 gives 42, "file missing" 2, "no method available" (no
//   application for the type or scheme, no browser) 31, "no permission" 5, anything else
//   (a failing application, a crash) 4; no xdg-open on the PATH, or one that cannot be
//   started, gives 32. An opener still running after ShellExecuteWait() milliseconds has
//   started the application, which stays open: 42, and the opener is left to finish alone.
// `owner`, `parameters` and `showCommand` are accepted and not used: the opener takes one
// target and the application decides how to show itself.
//
// REQUIRES: the user-interface thread. Blocks until the opener reports or the wait ends.
HINSTANCE ShellExecuteA(QWidget* owner, const QString& operation, const QString& file, const QString& parameters,
                        const QString& directory, int showCommand);

}

// One ShellExecuteA call as its caller made it.
struct ShellExecuteCall {
    QString operation;
    QString file;
    QString parameters;
    QString directory;
    int showCommand = 0;
};

// Runs `watcher` with every later ShellExecuteA call before it is carried out, so that tests
// can see what a caller asked for; an empty function stops watching.
void WatchShellExecute(std::function<void(const ShellExecuteCall&)> watcher);

// How long ShellExecuteA waits for the opener's verdict, in milliseconds (4000 unless changed).
int ShellExecuteWait();
void SetShellExecuteWait(int milliseconds);
