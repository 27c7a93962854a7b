#pragma once

// The DLLs a PE image (32- and 64-bit .dll, .ocx, .exe) names in its import directory and its
// delay-load import directory: what the loader will load with it, and what the delay-load helper
// will load on a first call.

#include "platform/files/ByteSource.h"

#include <QString>
#include <QStringList>
#include <optional>

struct PeImports {
    enum class Machine { I386, Amd64, Other };
    Machine machine = Machine::Other; // from the file header: 0x14C, 0x8664, anything else
    bool dll = false;                 // the file header's IMAGE_FILE_DLL
    // Wine's own built-in DLLs (and the placeholders Wine writes into a prefix) carry "Wine
    // builtin DLL" or "Wine placeholder DLL" right after the DOS header. A setup never ships those.
    bool wineBuiltin = false;
    QStringList imports;      // DLL names of the import directory, in order, as written
    QStringList delayImports; // DLL names of the delay-load directory, in order, as written
    // What was left unread, one sentence each ("import directory: ..."): a directory that runs
    // outside the file ends its list there, and a name that cannot be read is left out. Empty
    // when both directories were read whole.
    QStringList problems;
};

// At most this many descriptors are read from each directory; the rest are a problem.
constexpr int kMaxImportDescriptors = 10000;
// A DLL name longer than this (the longest file name Windows allows) is left out.
constexpr int kMaxImportNameLength = 255;

// Reads the DLL names that `image` imports. Only the DOS header, the PE headers, the section
// table, the two directories and the names are read, never the whole file. Each directory ends
// where the Windows loader stops: at a descriptor without a name or without an address table
// (and, for delay loads, without a name table). Old-style delay-load descriptors, which hold
// addresses rather than RVAs, are read too. Duplicate names are kept as written.
// Returns nullopt with `error` (when given) saying why when the headers cannot be read (not a
// PE image, truncated headers or section table); anything past the headers is a problem of the
// result instead.
std::optional<PeImports> ReadPeImports(const ByteSource& image, QString* error = nullptr);
