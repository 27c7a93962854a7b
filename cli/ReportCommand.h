#pragma once

// zantrel-cli report: the report window's report, built without a window, saved or printed.

#include "output/ReportBuilder.h"

#include <QString>
#include <QStringList>
#include <optional>

class Catalogue;
struct MemoryControls;

// What "zantrel-cli report" is asked for.
struct ReportRequest {
    std::optional<ReportKind> kind; // --detailed or --summary; none when neither is given
    QStringList projects;   // --project NAME-OR-FILE, in order; none: every project
    QString output;         // -o FILE, as given (a Windows or host path); empty: not saved
    bool print = false;     // --print
};

// Checks the project nodes the request names (all of them without --project; a value names every
// project whose Name it is, or whose FileName it is ignoring case), builds the report
// as the report window does, saves it under `windowsOutput` by the window's name rules (printing
// the saved file's host path) and prints it on the default printer when asked. Failures go through
// the message boxes ("GrabarReporte : ...", "Imprimir : ..."). Returns the exit status: 0 done, 1
// when a named project is not loaded, nothing is checked, or saving or printing failed.
int RunReport(MemoryControls& controls, const Catalogue& catalogue, const ReportRequest& request,
              const QString& windowsOutput);
