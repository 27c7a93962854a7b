#pragma once

#include "cli/Verb.h"
#include "platform/loader/DllSearch.h"
#include "output/OutputFormat.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

class Catalogue;
class Inventory;
struct LoadContext;
struct MainControls;

// What the options of the inventory verbs ask for.
struct InventoryRequest {
    bool recursive = false;                    // -r, --recursive: the folder's whole tree
    OutputFormat format = OutputFormat::Tsv;   // --format tsv|csv|json
    bool formatGiven = false;
    CsvFormulas csvFormulas = CsvFormulas::AsText; // --csv-raw: CsvFormulas::Raw
    QString query;                             // uses QUERY
    bool deep = false;                         // --deep: missing, libraries and graph add the closure
    LoaderArch arch = LoaderArch::X86;         // --arch, for the closure
};

// Exit status of missing, uses and drift when they find something to report (nothing uses the
// library, something is missing, or versions disagree).
constexpr int FoundProblemStatus = 3;

// Whether `verb` is one of missing, libraries, uses, graph and drift, the verbs that read the
// inventory. FormatVerb: the verbs --format goes with (catalogue and those but graph).
bool IsInventoryVerb(Verb verb);
bool IsFormatVerb(Verb verb);
// Whether the load must keep what the inventory records for `verb` (missing, graph, uses, drift,
// and export, whose log counts the lines left out).
bool RecordsLines(Verb verb);

// Loads the catalogue's ScanPath and, with -r, every folder below it as one load. Returns false
// (the message shown) when the folder cannot be listed.
bool LoadForCommandLine(Catalogue& catalogue, MainControls& controls, LoadContext& load, bool recursive);

// The catalogue listing: one record per dependency entry (a project without entries gets one
// with empty dependency fields), ProjectPath last; JSON nests the entries in their project.
// Written to `sink` a record (JSON: a project) at a time.
void WriteCatalogue(const Catalogue& catalogue, const LoadContext& load, OutputFormat format, const OutputSink& sink,
                    CsvFormulas formulas = CsvFormulas::AsText);
// The same, gathered into one array.
QByteArray CatalogueOutput(const Catalogue& catalogue, const LoadContext& load, OutputFormat format);

// Runs missing, libraries, uses, graph or drift (a verb IsInventoryVerb holds for) over a finished
// load, writing its records to `sink` one at a time; returns the exit status.
int RunInventory(Verb verb, const Catalogue& catalogue, const LoadContext& load,
                 const InventoryRequest& request, const OutputSink& sink);
// The same, gathered into `out`.
int RunInventory(Verb verb, const Catalogue& catalogue, const LoadContext& load,
                 const InventoryRequest& request, QByteArray& out);

// The inventory's records as zantrel-cli writes them.
OutputTable MissingTable(const Inventory& inventory);
OutputTable LibrariesTable(const Inventory& inventory);
// Entries first resolved then lines that did not, each project's together; "resolved" and
// "reason" close each record.
OutputTable UsesTable(const Inventory& inventory, const QString& query);
// One record per side of each library whose lines disagree.
OutputTable DriftTable(const Inventory& inventory);
