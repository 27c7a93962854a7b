#pragma once

// The shell-open module: documents and links opened with their associated application.

#include "platform/core/ProgramError.h"

#include <QString>
#include <cstdint>

class QWidget;

// Opens a document, a program or a web link with the application the system associates with
// it, and turns the shell's failure codes into numbered errors.

// Asks the shell to perform `Operation` ("open") on `File`. A file whose name holds ".EXE" in
// any letter case gets the show code 0 (hidden). With no `Parameters` and no `DefaultFolder`
// the shell is asked with empty ones and the show code 1 (normal), whatever `ShowCommand` says;
// otherwise it gets them all. Returns true on success; on failure raises ProgramError with the
// number and description of ShellFailure and the source "zantrel.GShell" (the executable's name).
bool ShellOpen(const QString& File, std::int32_t ShowCommand, const QString& Parameters, const QString& DefaultFolder,
               const QString& Operation, QWidget* Owner);

// Opens `Target` with the verb "open" (show code 10). A failure is shown in a message box with
// the exclamation icon: "Sorry, I failed to open '<Target>' due to an error.", an empty line,
// and the error's description in square brackets. No error reaches the caller.
void OpenDocument(const QString& Target, QWidget* Owner);

// The error for a shell result from 0 to 32: 0 and 8 "Out of memory" (7), 2 "File not found"
// (53), 3 "Path not found" (76), 5 "Path/file access error" (75), 26 a sharing violation (75),
// 28 to 30 a time-out or busy application (286, 285), 32 a missing library (48), and the
// number &H80040418 + the result for the others. Source "zantrel.GShell" (the executable's name).
ProgramError ShellFailure(std::intptr_t result);
