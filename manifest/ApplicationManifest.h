#pragma once

// The application manifest of a compiled program: what Windows reads, beside the program, to
// activate the program's in-process classes from its own folder without the registry
// (registration-free COM).

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <vector>

// One class a library serves, as its comClass element names it.
struct ManifestClass {
    QString clsid;          // "{...}", upper case
    QString threadingModel; // "Apartment", "Free", "Both", "Neutral"; empty: none said
    QString progId;         // the class's versioned program id; empty: none
    QStringList otherProgIds; // more program ids (the version-independent one), each a <progid>
    QString tlbid;          // the library's type library; empty: none
    QString description;    // the class's name
    // OLEMISC bits per aspect, from the registry's MiscStatus key (0: none said).
    std::uint32_t miscStatus = 0;
    std::uint32_t miscStatusContent = 0;
    std::uint32_t miscStatusThumbnail = 0;
    std::uint32_t miscStatusIcon = 0;
    std::uint32_t miscStatusDocprint = 0;
};

// The type library a file holds.
struct ManifestTypeLib {
    QString tlbid;          // "{...}"
    QString version;        // "2.0"
    QString helpdir;        // usually empty: the program's folder
    std::uint32_t flags = 0; // LIBFLAG bits: 1 restricted, 2 control, 4 hidden, 8 has disk image
};

// A library file in the program's folder, and what it serves.
struct ManifestFile {
    QString name; // the file's name, as it lies beside the program
    std::vector<ManifestTypeLib> typeLibs;
    std::vector<ManifestClass> classes;
};

// The proxy and stub of an interface the program's classes speak across apartments.
struct ManifestInterface {
    QString iid;
    QString name;
    QString proxyStubClsid; // the marshaler's class: the type library's for automation ones
    QString tlbid;
};

struct ApplicationManifest {
    QString name;    // the program's identity: letters, digits, '.', '-' and '_' (IdentityName)
    QString version; // four parts: "1.2.0.3"
    QString processorArchitecture = QStringLiteral("x86"); // "x86" or "amd64"
    QString description;
    bool commonControls = false; // depends on version 6 of the common controls (visual styles)
    std::vector<ManifestFile> files;
    std::vector<ManifestInterface> interfaces; // comInterfaceExternalProxyStub, after the files
};

// A name an assembly identity can hold: each character other than an ASCII letter, digit, '.',
// '-' or '_' becomes '_', dots do not start or end it, and an empty name becomes "Programa".
QString IdentityName(const QString& text);

// The four-part version of a program's major, minor and revision numbers, as Visual Basic
// stamps its file version: "major.minor.0.revision".
QString IdentityVersion(int major, int minor, int revision);

// The comma-separated names the manifest gives OLEMISC bits ("recomposeonresize,insideout,...");
// bits without a name are left out.
QString MiscStatusNames(std::uint32_t bits);

// The manifest as UTF-8 XML: the assembly, its identity first, the dependency on the common
// controls, then one file element per library with its typelib and comClass elements. Text is
// escaped for XML; characters XML cannot hold (controls other than tab, CR and LF, lone
// surrogates, U+FFFE and U+FFFF) are dropped, each counted in `dropped` when given.
QByteArray ManifestXml(const ApplicationManifest& manifest, int* dropped = nullptr);
