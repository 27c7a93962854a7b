// Times the reader of a Windows machine's registry hive files on a large hive: opening it, looking
// keys up by path (and reading each key's default value), listing a key of 50,000 subkeys; and
// says what memory that takes beside the mapped file, whose pages the kernel can always drop.
//
//   hive_file_bench HIVE [PATHS]      (PATHS defaults to HIVE.paths, one key path a line;
//                                      bench/make-synthetic-hive.py writes both)

#include "platform/registry/HiveFile.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <cstdio>
#include <sys/resource.h>

namespace {

double cpuMilliseconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

// A line of /proc/self/status in megabytes: VmHWM (peak resident), RssAnon (memory of the
// process's own), RssFile (pages of mapped files).
double statusMegabytes(const char* field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(qstrlen(field) + 1).trimmed().split(' ').first().toDouble() / 1024;
    return -1;
}

void memory(const char* when)
{
    std::printf("  memory %-22s peak %7.1f MB, own %6.1f MB, mapped file pages %6.1f MB\n", when, statusMegabytes("VmHWM:"),
                statusMegabytes("RssAnon:"), statusMegabytes("RssFile:"));
}

}

int main(int argc, char* argv[])
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: hive_file_bench HIVE [PATHS]\n");
        return 2;
    }
    const QString hivePath = QString::fromLocal8Bit(argv[1]);
    QFile list(argc > 2 ? QString::fromLocal8Bit(argv[2]) : hivePath + QStringLiteral(".paths"));
    if (!list.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot read %s\n", qPrintable(list.fileName()));
        return 2;
    }
    QStringList paths;
    for (const QByteArray& line : list.readAll().split('\n'))
        if (!line.isEmpty())
            paths.append(QString::fromUtf8(line));
    std::printf("%s: %.1f MB, %lld lookups\n", argv[1], QFileInfo(hivePath).size() / 1048576.0, qlonglong(paths.size()));
    memory("before opening");

    QElapsedTimer wall;
    wall.start();
    double cpu = cpuMilliseconds();
    const HiveFile hive(hivePath);
    if (!hive.isOpen()) {
        std::fprintf(stderr, "%s\n", qPrintable(hive.error()));
        return 1;
    }
    std::printf("  open: %.1f ms (%.1f ms processor)\n", wall.nsecsElapsed() / 1e6, cpuMilliseconds() - cpu);
    memory("after opening");

    for (const char* pass : {"first", "second"}) {
        int found = 0, withDefault = 0;
        wall.restart();
        cpu = cpuMilliseconds();
        for (const QString& path : paths) {
            if (const std::optional<HiveKey> key = hive.key(path)) {
                ++found;
                withDefault += hive.value(*key, u"").has_value();
            }
        }
        const double ms = wall.nsecsElapsed() / 1e6;
        std::printf("  lookups, %s pass: %d of %lld found (%d with a default value), %.1f ms (%.1f ms processor), %.1f us each\n",
                    pass, found, qlonglong(paths.size()), withDefault, ms, cpuMilliseconds() - cpu, ms * 1000 / std::max<qsizetype>(1, paths.size()));
    }
    memory("after the lookups");

    wall.restart();
    const std::optional<HiveKey> clsid = hive.key(u"Classes\\CLSID");
    const qsizetype names = clsid ? hive.subkeyNames(*clsid).size() : -1;
    std::printf("  Classes\\CLSID listed: %lld subkeys in %.1f ms\n", qlonglong(names), wall.nsecsElapsed() / 1e6);
    memory("at the end");
    return 0;
}
