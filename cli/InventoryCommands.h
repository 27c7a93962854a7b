#pragma once

#include "cli/OutputFormat.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

class Catalogue;
struct LoadContext;
struct MainControls;

// What the options of the inventory verbs ask for.
struct InventoryRequest {
    bool recursive = false;                    // -r, --recursive: the folder's whole tree
    OutputFormat format = OutputFormat::Tsv;   // --format tsv|csv|json
    bool formatGiven = false;
    QString query;                             // uses QUERY
};

// Exit status of missing and uses when they find something to report (nothing uses the
// library, or something is missing).
constexpr int FoundProblemStatus = 3;

// Takes -r or --recursive; false for any other option. (--format is read with the verb, whose
// formats it names.)
bool TakeInventoryOption(const QString& option, InventoryRequest& request);

// Whether `verb` is one of missing, libraries, uses and graph; the ones that need the lines the
// load could not resolve. FormatVerb: the verbs --format goes with (catalogue and those but graph).
bool IsInventoryVerb(const QString& verb);
bool IsFormatVerb(const QString& verb);
// Whether the load must keep the lines it could not resolve for `verb` (missing and graph).
bool RecordsLines(const QString& verb);

// Loads the catalogue's ScanPath and, with -r, every folder below it as one load. Returns false
// (the message shown) when the folder cannot be listed.
bool LoadForCommandLine(Catalogue& catalogue, MainControls& controls, LoadContext& load, bool recursive);

// The catalogue listing: one record per dependency entry (a project without entries gets one
// with empty dependency fields), ProjectPath last; JSON nests the entries in their project.
QByteArray CatalogueOutput(const Catalogue& catalogue, const LoadContext& load, OutputFormat format);

// Runs missing, libraries, uses or graph over a finished load into `out`; returns the exit status.
int RunInventory(const QString& verb, const Catalogue& catalogue, const LoadContext& load,
                 const InventoryRequest& request, QByteArray& out);

// The inventory records, for tests and benchmarks.
OutputTable MissingTable(const Catalogue& catalogue, const LoadContext& load);
OutputTable LibrariesTable(const Catalogue& catalogue, const LoadContext& load);
OutputTable UsesTable(const Catalogue& catalogue, const LoadContext& load, const QString& query);
QByteArray DependencyGraph(const Catalogue& catalogue, const LoadContext& load);
