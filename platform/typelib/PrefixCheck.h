#pragma once

// Whether the current Wine prefix can answer for a 32-bit program at all. A Visual Basic program
// and its libraries are 32-bit; a prefix that Wine made without its 32-bit half (Debian's wine64
// alone) has no 32-bit system folder and registers its type libraries for 64-bit Windows only,
// so nothing a project names resolves there. Callers say so once, before a load.

#include <QString>

enum class PrefixProblem { None, NoPrefix, Without32Bit };

struct PrefixCheck {
    PrefixProblem problem = PrefixProblem::None;
    QString prefix; // the prefix's host folder
};

// Looks at the current prefix (PathMapper::current().prefix()):
//   NoPrefix      neither system.reg nor dosdevices is there.
//   Without32Bit  either sign of a prefix made by a Wine without its 32-bit half:
//                 - the OLE Automation library (stdole 2.0, which Wine registers in every
//                   prefix it makes) is registered for locale 0 under win64 and not under win32;
//                 - the prefix is 64-bit (a syswow64 folder, or "#arch=win64" in system.reg),
//                   its system32 folder holds Wine's kernel32.dll, and its syswow64 folder is
//                   missing or holds none (Wine fills syswow64 only when its 32-bit half runs).
//   None          anything else, including a prefix with neither Wine's own files nor its
//                 registrations (a hand-made one): it cannot be judged, so it is not blamed.
// Reads a few folder entries, the head of system.reg and two registry keys; no file is written.
PrefixCheck CheckCurrentPrefix();

// One or two plain English sentences for zantrel-cli's standard error: which prefix, what is
// wrong and what to do. Empty for PrefixProblem::None.
QString PrefixProblemText(const PrefixCheck& check);

// The same in Spanish, for the window's message box. Empty for PrefixProblem::None.
QString PrefixProblemTexto(const PrefixCheck& check);
