// Times reading the four properties of a type library held as a TYPELIB resource of a large
// DLL. Makes a 10 MB PE32 image in a temporary prefix (a 10 MB code section before the
// resource section, as in a real control library), or times the DLL given on the command line
// (for instance one made by bench/make-large-dll.sh).
//
//   typelib_read_bench [host path of a DLL] [iterations]
//
// Prints the time per read of a file just opened (the reader's own work: its positioned reads
// and the parsing), per open-read-close of a host path, and per whole load through a Windows
// path (mapping the path through the prefix as well).
#include "platform/files/ByteSource.h"
#include "platform/files/PathMapper.h"
#include "platform/typelib/TypeLibReader.h"
#include "tests/support_files/TypeLibImages.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <chrono>
#include <cstdio>

namespace {

using Clock = std::chrono::steady_clock;

double microsecondsPer(Clock::duration total, int count)
{
    return std::chrono::duration<double, std::micro>(total).count() / count;
}

}

int main(int argc, char* argv[])
{
    QTemporaryDir prefix;
    if (!prefix.isValid())
        return 1;
    QDir root(prefix.path());
    root.mkpath(QStringLiteral("drive_c/lib"));
    root.mkpath(QStringLiteral("dosdevices"));
    QFile::link(QStringLiteral("../drive_c"), root.filePath(QStringLiteral("dosdevices/c:")));
    QFile::link(QStringLiteral("/"), root.filePath(QStringLiteral("dosdevices/z:")));
    PathMapper::setCurrent(prefix.path());

    QString hostPath;
    if (argc > 1) {
        hostPath = QFileInfo(QString::fromLocal8Bit(argv[1])).absoluteFilePath();
    } else {
        hostPath = root.filePath(QStringLiteral("drive_c/lib/grande.dll"));
        const QByteArray image = TypeLibImages::MakePe(
            false, {{QStringLiteral("TYPELIB"), 1, TypeLibImages::MakeMsft()}}, 10 * 1024 * 1024);
        QFile file(hostPath);
        if (!file.open(QIODevice::WriteOnly) || file.write(image) != image.size())
            return 1;
    }
    const int iterations = argc > 2 ? std::atoi(argv[2]) : 20000;
    const QString windowsPath = PathMapper::current().toWindows(hostPath);

    const HostFileSource file(hostPath);
    if (!file.isOpen()) {
        std::fprintf(stderr, "cannot open %s\n", qPrintable(hostPath));
        return 1;
    }
    const auto first = ReadTypeLibFile(file);
    if (!first) {
        std::fprintf(stderr, "no type library in %s\n", qPrintable(hostPath));
        return 1;
    }
    std::printf("%s: %.1f MB, %s %u.%u \"%s\"\n", qPrintable(windowsPath), file.size() / 1048576.0,
                qPrintable(first->guid), first->majorVersion, first->minorVersion, qPrintable(first->helpString));

    int found = 0;
    // The reader's own work: the positioned reads and the parsing, on a file just opened, so
    // that no block is cached yet.
    Clock::duration reading{};
    for (int i = 0; i < iterations; ++i) {
        const HostFileSource fresh(hostPath);
        const auto start = Clock::now();
        found += ReadTypeLibFile(fresh).has_value();
        reading += Clock::now() - start;
    }

    auto start = Clock::now();
    for (int i = 0; i < iterations; ++i) {
        const HostFileSource fresh(hostPath);
        found += ReadTypeLibFile(fresh).has_value();
    }
    const auto opening = Clock::now() - start;

    start = Clock::now();
    for (int i = 0; i < iterations; ++i)
        found += LoadTypeLibFromFile(windowsPath).has_value();
    const auto loading = Clock::now() - start;

    std::printf("read of a file just opened:      %8.2f us per read (%d reads)\n", microsecondsPer(reading, iterations), iterations);
    std::printf("open, read and close:            %8.2f us per read\n", microsecondsPer(opening, iterations));
    std::printf("load through a Windows path:     %8.2f us per load\n", microsecondsPer(loading, iterations));
    return found == 3 * iterations ? 0 : 1;
}
