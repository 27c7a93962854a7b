#pragma once

// The source-file scanner: what one Visual Basic source file (.bas, .cls, .frm, .ctl, .pag, .dob,
// .dsr) needs beyond its project file's lines: the DLLs its Declare statements load, and, in a
// file that describes a form or a control (.frm, .ctl, .pag, .dob, .dsr), the control libraries
// its Object lines name and the classes of the controls it holds.
//
// A file is laid out as the development environment writes it: a header ("VERSION 5.00" and the
// Object lines), the description (from its first Begin line to the matching End; a class
// module's BEGIN ... END block of properties is one too), then the Attribute lines and the code.
// A module (.bas) starts with its code. Only the header's Object lines count, only the
// description's Begin lines name controls, and only the code is searched for Declare statements:
// a Declare inside a comment or a string literal is none.
//
// The scanner reads and never resolves: the caller looks the names up.

#include <QByteArray>
#include <QList>
#include <QString>

// One Declare statement: [Public | Private] Declare [PtrSafe] Sub|Function name Lib "library"
// [Alias "alias"] ... (keywords in any case, possibly over continued lines).
struct DeclaredLibrary {
    int line = 0;             // the line the statement starts on, counted from 1
    QString procedure;        // the name the code calls it by, as written: "GetTickCount&"
    QString library;          // the Lib text as written: "kernel32", "user32.dll", "..\bin\util."
    QString fileName;         // the file the loader opens for it: the Lib text with ".dll" added
                              // when its file name has no extension ("kernel32.dll"), and without
                              // the trailing dots that say it has none ("..\bin\util"); empty
                              // for an empty Lib text
    QString alias;            // the Alias text as written ("GetWindowTextA", "#132"); empty without
    bool conditional = false; // inside an #If block, so compiled only when its condition holds
};

// One Object line of a form's header: Object = "{GUID}#version#locale"; "file.ocx", or, for the
// controls of another project of a group, Object = "*\Apath.vbp".
struct ObjectLine {
    int line = 0;
    QString target;   // the first quoted text as written: "{GUID}#2.0#0" or "*\A..\ctl\ctl.vbp"
    QString guid;     // "{GUID}", braces included, when the target starts with one; else empty
    QString version;  // the text after the GUID's '#': "2.0"; empty when there is none
    QString locale;   // the text after the next '#': "0"
    QString fileName; // the second quoted text: "MSCOMCTL.OCX"; empty when the line has none
};

// One Begin line of the description: Begin MSComctlLib.ListView lvwItems.
struct ControlLine {
    int line = 0;
    QString className; // "MSComctlLib.ListView", "VB.Form", "{GUID}" for a designer
    QString name;      // "lvwItems"; empty when the line names none
};

struct SourceScan {
    QList<DeclaredLibrary> declares; // in the order of the file
    QList<ObjectLine> objects;
    QList<ControlLine> controls;
    // Why the file was not read to its end ("larger than 16777216 bytes: ...", the reason it
    // could not be read at all); empty when it was. What was found before stays.
    QString problem;
};

// Largest file read, in bytes; of a larger one the lines within the bound are read. The
// development environment holds at most 65,534 lines of 1023 characters in a module, and real
// ones are far smaller.
inline constexpr qsizetype kMaxSourceFileSize = 16 * 1024 * 1024;

// Scans a source file's bytes, read in the ANSI code page with the line reading of the project
// file (a line ends at CR LF, LF or a lone CR; NUL bytes are kept).
SourceScan ScanSource(const QByteArray& contents);
// Scans the regular file at `hostPath` (links followed; a FIFO or device is refused without
// blocking). A file that cannot be read gives an empty scan and the reason in `problem`.
SourceScan ScanSourceFile(const QString& hostPath);
