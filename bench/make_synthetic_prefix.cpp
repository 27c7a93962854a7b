// Writes a synthetic Wine prefix for benchmarks: drive_c/bench/ holds N project files of a
// realistic shape (about 60 lines: 15 Reference= and 5 Object= lines among forms, modules,
// classes and settings), in windows-1252 with CR LF ends; with --libraries, the 300 type
// libraries and 40 control libraries they name are made from the test fixtures (each with its
// own GUID; every tenth library is a DLL of over 1 MB) and registered in system.reg.
//
//   make_synthetic_prefix PREFIX [N] [--libraries]       (N defaults to 10000)

#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <QFile>
#include <QString>
#include <cstdio>

namespace {

constexpr int kLibraries = 300;
constexpr int kControls = 40;

QByteArray guidFor(int library)
{
    return QStringLiteral("{%1-0000-4000-8000-%2}")
        .arg(0x10000000 + library, 8, 16, QChar(u'0'))
        .arg(library, 12, 16, QChar(u'0'))
        .toUpper()
        .toLatin1();
}

QByteArray projectText(int index)
{
    static const char* const kinds[] = {"Exe", "OleDll", "Control", "OleExe"};
    QByteArray text;
    auto line = [&](const QByteArray& l) { text += l + "\r\n"; };
    line(QByteArray("Type=") + kinds[index % 4]);
    for (int r = 0; r < 15; ++r) {
        const int library = (index * 7 + r * 13) % 300;
        line("Reference=*\\G" + guidFor(library) + "#1.0#0#C:\\Windows\\system32\\lib" + QByteArray::number(library)
             + ".tlb#Biblioteca " + QByteArray::number(library) + " de pruebas");
        if (r % 3 == 0)
            line("Object=" + guidFor(1000 + (index + r) % kControls) + "#1.0#0; ctl" + QByteArray::number((index + r) % kControls)
                 + ".ocx");
    }
    for (int f = 0; f < 8; ++f)
        line("Form=frm" + QByteArray::number(f) + ".frm");
    for (int m = 0; m < 6; ++m)
        line("Module=mod" + QByteArray::number(m) + "; mod" + QByteArray::number(m) + ".bas");
    for (int c = 0; c < 6; ++c)
        line("Class=cls" + QByteArray::number(c) + "; cls" + QByteArray::number(c) + ".cls");
    line("Startup=\"frm0\"");
    line("HelpFile=\"\"");
    line("Title=\"Proyecto de prueba n\xba " + QByteArray::number(index) + "\"");
    line("ExeName32=\"proyecto" + QByteArray::number(index) + ".exe\"");
    line("Command32=\"\"");
    line("Name=\"Proyecto" + QByteArray::number(index) + "\"");
    for (const char* setting : {"HelpContextID=\"0\"", "CompatibleMode=\"0\"", "MajorVer=1", "MinorVer=0", "RevisionVer=0",
                                "AutoIncrementVer=0", "ServerSupportFiles=0", "CompilationType=0", "OptimizationType=0",
                                "FavorPentiumPro(tm)=0", "CodeViewDebugInfo=0", "NoAliasing=0", "BoundsCheck=0"})
        line(setting);
    return text;
}

// The 16 bytes a GUID text is stored as in a type library.
QByteArray guidBytes(const QByteArray& text)
{
    const QByteArray hex = QByteArray(text).replace("-", "").replace("{", "").replace("}", "");
    QByteArray raw = QByteArray::fromHex(hex);
    std::reverse(raw.begin(), raw.begin() + 4);
    std::reverse(raw.begin() + 4, raw.begin() + 6);
    std::reverse(raw.begin() + 6, raw.begin() + 8);
    return raw;
}

QByteArray readFixture(const char* name)
{
    QFile file(QStringLiteral(ZANTREL_SOURCE_DIR "/tests/fixtures/typelibs/") + QLatin1String(name));
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot read fixture %s\n", name);
        std::exit(1);
    }
    return file.readAll();
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

QByteArray registryKey(const QByteArray& guid, const QByteArray& file)
{
    return "[Software\\\\Classes\\\\TypeLib\\\\" + guid + "\\\\1.0\\\\0\\\\win32] 1700000000\n@=\"C:\\\\windows\\\\system32\\\\"
        + file + "\"\n\n";
}

// Libraries made from the fixtures with the GUIDs the projects name, and their registrations.
bool writeLibraries(const QString& prefix)
{
    const QByteArray fixtureGuid = guidBytes("{3F2A9C10-5B7E-4D21-9A6C-0E8B1F4D7A21}");
    const QByteArray tlb = readFixture("facturacion.tlb");
    const QByteArray dll = readFixture("facturacion32.dll");
    QByteArray registry = "WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n#arch=win32\n\n";
    for (int i = 0; i < kLibraries + kControls; ++i) {
        const bool control = i >= kLibraries;
        const int number = control ? i - kLibraries : i;
        const QByteArray guid = guidFor(control ? 1000 + number : number);
        const bool large = !control && i % 10 == 0;
        QByteArray image = large || control ? dll : tlb;
        image.replace(fixtureGuid, guidBytes(guid));
        if (large)
            image.append(QByteArray(1200 * 1024, '\0')); // data after the image, as signed DLLs carry
        const QByteArray file = (control ? "ctl" : "lib") + QByteArray::number(number) + (control ? ".ocx" : ".tlb");
        if (!writeFile(prefix + QStringLiteral("/drive_c/windows/system32/") + QString::fromLatin1(file), image))
            return false;
        registry += registryKey(guid, file);
    }
    return writeFile(prefix + QStringLiteral("/system.reg"), registry);
}

}

int main(int argc, char* argv[])
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: make_synthetic_prefix PREFIX [N]\n");
        return 2;
    }
    const QString prefix = QString::fromLocal8Bit(argv[1]);
    const int count = argc > 2 && argv[2][0] != '-' ? std::atoi(argv[2]) : 10000;
    const bool libraries = QByteArray(argv[argc - 1]) == "--libraries";
    QDir root(prefix);
    root.mkpath(QStringLiteral("drive_c/bench"));
    root.mkpath(QStringLiteral("dosdevices"));
    QFile::link(QStringLiteral("../drive_c"), root.filePath(QStringLiteral("dosdevices/c:")));
    QFile::link(QStringLiteral("/"), root.filePath(QStringLiteral("dosdevices/z:")));
    for (int i = 1; i <= count; ++i) {
        QFile file(root.filePath(QStringLiteral("drive_c/bench/proyecto%1.vbp").arg(i, 5, 10, QChar(u'0'))));
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(projectText(i)) < 0) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(file.fileName()));
            return 1;
        }
    }
    if (libraries && !writeLibraries(prefix)) {
        std::fprintf(stderr, "cannot write the libraries\n");
        return 1;
    }
    std::printf("%d projects in %s/drive_c/bench (c:\\bench\\)%s\n", count, qPrintable(prefix),
                libraries ? ", with 340 registered libraries" : "");
    return 0;
}
