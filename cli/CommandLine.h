#pragma once

#include "cli/InventoryCommands.h"
#include "cli/ReportCommand.h"

#include <QString>
#include <QStringList>

// What one run of zantrel-cli is asked for, read from its arguments.
struct CommandLine {
    QString verb;            // tree, catalogue, export, report, missing, libraries, uses or graph
    QString folder;          // FOLDER as given (a Windows or host path); empty: the settings file's
    QString output;          // -o FILE or DIR as given; empty: not given
    QString format = QStringLiteral("xls");  // export's --format: xls or xlsx
    ReportRequest report;    // report's own options
    InventoryRequest inventory; // -r, --format, and uses' QUERY
};

// The usage text --help prints.
extern const char* const CommandLineUsage;

// Reads the arguments (without the program's name) into `line`. Returns -1 when the run goes on;
// else the exit status to end with: 0 after --help or --version (the usage or "Zantrel 1.0.3"
// printed), 2 after wrong usage (the
// problem and the usage written to standard error).
int ReadCommandLine(const QStringList& args, CommandLine& line);
