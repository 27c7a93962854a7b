#pragma once

// The reader of type libraries (the MSFT format), standalone or inside a PE file.

#include "platform/files/ByteSource.h"

#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

// The few properties of a type library that the program reports.
struct TypeLibInfo {
    QString guid;                   // "{00020430-0000-0000-C000-000000000046}": upper case, braces
    QString helpString;             // the library's documentation string; empty when it has none
    std::uint16_t majorVersion = 0;
    std::uint16_t minorVersion = 0;
    std::uint32_t lcid = 0;         // the library's locale
    QString containingFile;         // Windows path the library was loaded from, as given or registered
    QString fileRead;               // Windows path of the file actually read: no resource number,
                                    // a bare name completed with the folder it was found in
};

// A class (coclass) a library declares.
struct LibraryClass {
    QString clsid;            // upper case, braces
    QString name;             // empty when the library gives none
    std::uint32_t flags = 0;  // TYPEFLAGS: 0x2 can create, 0x4 licensed, 0x10 hidden, 0x20 control, ...
};

// An interface a library declares, for its proxy and stub.
struct LibraryInterface {
    QString iid;              // upper case, braces
    QString name;
    std::uint32_t flags = 0;  // TYPEFLAGS: 0x40 dual, 0x100 oleautomation, ...
    bool dispatch = false;    // a dispinterface (TKIND_DISPATCH) rather than an interface
};

// What registration-free activation needs of a library: its identity, flags and classes.
struct LibraryClasses {
    QString guid;
    QString name;             // the library's own name ("MSComctlLib"); empty when it has none
    std::uint16_t majorVersion = 0;
    std::uint16_t minorVersion = 0;
    std::uint32_t flags = 0;  // LIBFLAGS: 1 restricted, 2 control, 4 hidden, 8 has disk image
    std::vector<LibraryClass> classes; // in the library's order
    std::vector<LibraryInterface> interfaces; // in the library's order
    bool cut = false;         // more than kMaxLibraryClasses: the rest left out
};
inline constexpr std::size_t kMaxLibraryClasses = 65536;

// Reads the properties of a type library image in the MSFT format (the one MIDL and widl
// write), reading only the header, the segment directory, the GUID and the help string.
// Strings are decoded from the ANSI code page. `containingFile` is left empty. Returns
// nullopt, with `error` (when given) saying why, for anything that is not a well-formed MSFT
// library, including SLTG libraries, which this reader does not read.
std::optional<TypeLibInfo> ReadTypeLibImage(const ByteSource& library, QString* error = nullptr);

// Reads the library held by a file: for an executable image (.dll, .ocx, .exe, or a .tlb built
// as one), its TYPELIB resource `resourceNumber`; for any other file, the file itself,
// whatever the number.
std::optional<TypeLibInfo> ReadTypeLibFile(const ByteSource& file, std::uint16_t resourceNumber = 1,
                                           QString* error = nullptr);

// Loads the library at a Windows path, as LoadTypeLib does: "c:\lib\x.tlb", "c:\lib\x.dll"
// (TYPELIB resource 1 of an image), or "c:\lib\x.dll\2" for its TYPELIB resource 2 (a final
// component of decimal digits is a resource number unless the whole path names a file). A relative path is taken from the
// current folder; a bare file name that is not there is looked for in the system folder. Only
// regular files are opened. `containingFile` is `windowsPath` as given.
std::optional<TypeLibInfo> LoadTypeLibFromFile(const QString& windowsPath, QString* error = nullptr);

// The library's classes, from the same three forms: the image, a file's TYPELIB resource, a
// Windows path. Reads the header, the type-info table and, of each class, its GUID and name
// entries, every offset checked against its table; a class whose GUID lies outside its table is
// left out, a name outside its table reads as empty. Fails as ReadTypeLibImage does.
std::optional<LibraryClasses> ReadTypeLibClasses(const ByteSource& library, QString* error = nullptr);
std::optional<LibraryClasses> ReadTypeLibFileClasses(const ByteSource& file, std::uint16_t resourceNumber = 1,
                                                      QString* error = nullptr);
std::optional<LibraryClasses> LoadTypeLibClasses(const QString& windowsPath, QString* error = nullptr);

// The GUID in `text` in its registry form ("{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", upper
// case), or nullopt when `text` is not a GUID in braces.
std::optional<QString> NormalizedGuidText(const QString& text);
