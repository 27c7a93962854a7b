#pragma once

// Resolution of a project's Reference= and Object= lines into dependency entries, through the
// registry's type-library registrations and the libraries themselves.

#include <QString>
#include <cstdint>
#include <optional>

class Catalogue;
struct LoadContext;
class TypeLibService;

// Turns a project file's Reference= line into a dependency entry of project `projectIndex` at
// index `DependencyCounter`: the library's file from its registration (HKEY_CLASSES_ROOT\TypeLib
// \{GUID}\<version>\<locale>\win32), else the path written in the line (a relative one taken
// from the folder of `load`'s project file); its GUID, description and version from the library, loaded
// by registration or else from that file; the file's size and date. Advances the reference key
// counter and `DependencyCounter`. A line that cannot be resolved adds nothing and shows nothing.
// What it looks up is remembered in `load`, so a registration, library or file named again in
// the same load is not looked at again.
void AgregaReferencia(Catalogue& catalogue, LoadContext& load, int projectIndex, int& DependencyCounter, const QString& line);

// The same for an Object= line, resolved through the control library's registration only; the
// entry's file is the registered file of the library.
void AgregaComponente(Catalogue& catalogue, LoadContext& load, int projectIndex, int& DependencyCounter, const QString& line);

// A path written in a reference line, made absolute against the folder of the project file at
// `projectPath` when it is relative: "..\lib\x.tlb" from "c:\src\a.vbp" is "c:\lib\x.tlb".
QString ResolvedAgainstProject(const QString& path, const QString& projectPath);

// A version text split as the resolvers split it: before and after its first '.', or, without
// '.', the whole text and the locale text; each read from its leading decimal digits (0 when it
// has none) as a 16-bit number. Nullopt when a number does not fit 16 bits: such a line names
// no library and adds no entry.
struct VersionNumbers {
    std::uint16_t major = 0;
    std::uint16_t minor = 0;
};
std::optional<VersionNumbers> SplitVersion(const QString& version, const QString& locale);

// The type-library information service the resolvers share, made on first use over the
// registrations of the current prefix.
TypeLibService& SharedTypeLibService();
