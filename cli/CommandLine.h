#pragma once

#include "platform/loader/DllSearch.h"
#include "platform/registry/WindowsWorld.h"

#include <optional>

#include "cli/InventoryCommands.h"
#include "cli/ReportCommand.h"
#include "cli/Verb.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

// What one run of zantrel-cli is asked for, read from its arguments.
struct CommandLine {
    Verb verb = Verb::Tree;  // the verb named; read only after ReadCommandLine returned -1
    QString folder;          // FOLDER as given (a Windows or host path); empty: the settings file's
    QString output;          // -o FILE or DIR as given; empty: not given
    QString format = QStringLiteral("xls");  // export's --format: xls or xlsx
    ReportRequest report;    // report's own options
    InventoryRequest inventory; // -r, --format, and uses' QUERY
    std::optional<int> codePage; // --codepage N, a page AnsiCodePage serves
    LoaderArch arch = LoaderArch::X86; // closure's --arch
    WorldOptions world;      // --windows, --drive, --windows-user
    struct {
        bool commonControls = false;
        bool force = false;
        QStringList projects;
    } manifest;              // manifest's own options
};

// The usage text --help prints: every verb and option.
QByteArray CommandLineUsage();

// What "zantrel-cli VERB --help" prints: the verb's usage line, what it writes, its options and
// its exit status. Empty for a word that is no verb.
QByteArray VerbUsage(const QString& verb);

// The verbs zantrel-cli knows, in the order --help lists them.
QStringList CommandLineVerbs();

// Reads the arguments (without the program's name) into `line`. Returns -1 when the run goes on;
// else the exit status to end with: 0 after --help, VERB --help or --version (the text written to
// `out`), 2 after wrong usage (one line naming the wrong word, then where to find help, written
// to `err`).
int ReadCommandLine(const QStringList& args, CommandLine& line, QByteArray& out, QByteArray& err);

// The same, writing `out` to standard output and `err` to standard error.
int ReadCommandLine(const QStringList& args, CommandLine& line);
