#pragma once

// zantrel-cli closure: every file each loaded project needs to run.

#include "catalogue/Closure.h"
#include "output/OutputFormat.h"

#include <vector>

struct LoadContext;

class Catalogue;

// Writes the closure of the load as zantrel-cli gives it, each record as it is made: project (full
// Windows path), file, found, how, via (joined by " > "), system, reason.
void WriteClosure(const Catalogue& catalogue, const LoadContext& load, LoaderArch arch, OutputFormat format,
                  const OutputSink& sink, CsvFormulas formulas = CsvFormulas::AsText);

// Writes missing --deep: the lines that gave no entry (`missing`, the missing verb's table) with a
// `via` column added, then each file of the closure that is not found or cannot be used: line 0,
// kind its `how` ("delay import" marks one the program may run without), path the file as named,
// the reason and the chain. Returns the number of records written.
qsizetype WriteDeepMissing(const OutputTable& missing, const Catalogue& catalogue, const LoadContext& load,
                           LoaderArch arch, OutputFormat format, const OutputSink& sink,
                           CsvFormulas formulas = CsvFormulas::AsText);

// libraries --deep: every file a setup ships for these projects (the closure's found files that
// are not the system's), in the order first met: filePath, how (each way a project needs it),
// projects (the full paths of the projects that need it).
OutputTable ShippedFilesTable(const Catalogue& catalogue, const LoadContext& load, LoaderArch arch);
