// Writes a synthetic Wine prefix for benchmarks: drive_c/bench/ holds N project files of a
// realistic shape (about 60 lines: 15 Reference= and 5 Object= lines among forms, modules,
// classes and settings), in windows-1252 with CR LF ends.
//
//   make_synthetic_prefix PREFIX [N]        (N defaults to 10000)

#include <QDir>
#include <QFile>
#include <QString>
#include <cstdio>

namespace {

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
        line("Reference=*\\G" + guidFor(library) + "#" + QByteArray::number(1 + library % 3) + ".0#0#C:\\Windows\\system32\\lib"
             + QByteArray::number(library) + ".tlb#Biblioteca " + QByteArray::number(library) + " de pruebas");
        if (r % 3 == 0)
            line("Object=" + guidFor(1000 + (index + r) % 40) + "#1.0#0; ctl" + QByteArray::number((index + r) % 40) + ".ocx");
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

}

int main(int argc, char* argv[])
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: make_synthetic_prefix PREFIX [N]\n");
        return 2;
    }
    const QString prefix = QString::fromLocal8Bit(argv[1]);
    const int count = argc > 2 ? std::atoi(argv[2]) : 10000;
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
    std::printf("%d projects in %s/drive_c/bench (c:\\bench\\)\n", count, qPrintable(prefix));
    return 0;
}
