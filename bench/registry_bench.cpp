// Times the registry of a prefix that has registered many type libraries: reading system.reg,
// the lookups reference resolution makes, listing HKEY_CLASSES_ROOT\TypeLib, and one write
// (which rewrites the whole file). Reports the file's size and peak memory.
//
//   registry_bench [LIBRARIES] [LOOKUPS]      (LIBRARIES defaults to 60000, about 30 MB;
//                                               LOOKUPS to 20000)

#include "platform/files/PathMapper.h"
#include "platform/registry/RegistryStore.h"
#include "platform/registry/WinRegistry.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <random>
#include <sys/resource.h>

using namespace WinApi;

namespace {

QByteArray guidFor(int library)
{
    return QStringLiteral("{%1-0000-4000-8000-%2}")
        .arg(0x10000000 + library, 8, 16, QChar(u'0'))
        .arg(library, 12, 16, QChar(u'0'))
        .toUpper()
        .toLatin1();
}

// What RegisterTypeLib leaves for one library and one of its interfaces, as Wine writes it.
void appendLibrary(QByteArray& text, int library)
{
    const QByteArray guid = guidFor(library);
    const QByteArray base = "Software\\\\Classes\\\\Typelib\\\\" + guid + "\\\\" + QByteArray::number(1 + library % 3) + ".0";
    const QByteArray time = "] 1700000000\n#time=1da1d5d2b1c4e00\n";
    const QByteArray file = "C:\\\\windows\\\\system32\\\\lib" + QByteArray::number(library) + ".tlb";
    text += "\n[" + base + time + "@=\"Biblioteca " + QByteArray::number(library) + " de pruebas\"\n";
    text += "\n[" + base + "\\\\0\\\\win32" + time + "@=\"" + file + "\"\n";
    text += "\n[" + base + "\\\\FLAGS" + time + "@=\"0\"\n";
    text += "\n[" + base + "\\\\HELPDIR" + time + "@=\"C:\\\\windows\\\\system32\"\n";
    const QByteArray iid = guidFor(500000 + library);
    text += "\n[Software\\\\Classes\\\\Interface\\\\" + iid + time + "@=\"IBench" + QByteArray::number(library) + "\"\n";
    text += "\n[Software\\\\Classes\\\\Interface\\\\" + iid + "\\\\ProxyStubClsid32" + time
        + "@=\"{00020424-0000-0000-C000-000000000046}\"\n";
    text += "\n[Software\\\\Classes\\\\Interface\\\\" + iid + "\\\\TypeLib" + time + "@=\"" + guid + "\"\n\"Version\"=\"1.0\"\n";
}

// CPU time of this process so far, in milliseconds: on a shared machine it says more than the
// wall clock.
double cpuMilliseconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

// Times one phase: wall clock and CPU.
class Phase {
public:
    Phase() { timer_.start(); cpu_ = cpuMilliseconds(); }
    void report(const char* what)
    {
        std::printf("%-40s %8.1f ms wall %8.1f ms cpu\n", what, timer_.nsecsElapsed() / 1e6, cpuMilliseconds() - cpu_);
        timer_.restart();
        cpu_ = cpuMilliseconds();
    }
    double wall() const { return timer_.nsecsElapsed() / 1e6; }

private:
    QElapsedTimer timer_;
    double cpu_;
};

long peakKilobytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

}

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const int libraries = argc > 1 ? std::atoi(argv[1]) : 60000;
    const int lookups = argc > 2 ? std::atoi(argv[2]) : 20000;

    QTemporaryDir prefix;
    QByteArray text = "WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n#arch=win32\n";
    // Interface keys sort before Typelib keys; write each group in key order, as Wine does.
    QByteArray interfaces, typelibs;
    for (int library = 0; library < libraries; ++library) {
        QByteArray one;
        appendLibrary(one, library);
        const qsizetype split = one.indexOf("\n[Software\\\\Classes\\\\Interface");
        typelibs += one.left(split);
        interfaces += one.mid(split);
    }
    text += interfaces + typelibs;
    {
        QFile file(prefix.filePath(QStringLiteral("system.reg")));
        file.open(QIODevice::WriteOnly);
        file.write(text);
    }
    PathMapper::setCurrent(prefix.path());
    std::printf("system.reg: %.1f MB, %d libraries\n", text.size() / 1e6, libraries);
    text.clear();
    interfaces.clear();
    typelibs.clear();

    Phase phase;
    HKEY key = 0;
    RegOpenKeyExA(HKEY_CLASSES_ROOT, "TypeLib", 0, KEY_READ, &key);
    phase.report("load (read and scan the file)");

    char name[256];
    DWORD count = 0;
    while (RegEnumKeyA(key, count, name, sizeof name) == ERROR_SUCCESS)
        ++count;
    RegCloseKey(key);
    std::printf("HKCR\\TypeLib holds %u keys\n", count);
    phase.report("list HKCR\\TypeLib by index");

    std::mt19937 random(42);
    int found = 0;
    for (int i = 0; i < lookups; ++i) {
        const int library = static_cast<int>(random() % static_cast<unsigned>(libraries));
        const QByteArray path = "TypeLib\\" + guidFor(library) + "\\" + QByteArray::number(1 + library % 3) + ".0\\0\\win32";
        if (RegOpenKeyExA(HKEY_CLASSES_ROOT, path.constData(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
            continue;
        DWORD type = 0, size = 0;
        unsigned char probe[4];
        RegQueryValueExA(key, "", nullptr, &type, probe, &size);
        QByteArray data(size, '\0');
        if (RegQueryValueExA(key, "", nullptr, &type, reinterpret_cast<unsigned char*>(data.data()), &size) == ERROR_SUCCESS)
            ++found;
        RegCloseKey(key);
    }
    std::printf("%d lookups as references make them (%d found), %.1f us each:\n", lookups, found, 1000.0 * phase.wall() / lookups);
    phase.report("  open, two queries, close");

    RegCreateKeyExA(HKEY_CLASSES_ROOT, "TypeLib\\{BENCH}\\1.0", 0, "", 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    const char value[] = "Bench";
    RegSetValueExA(key, "", 0, REG_SZ, reinterpret_cast<const unsigned char*>(value), sizeof value);
    RegCloseKey(key);
    phase.report("one new key and value (two saves)");

    std::printf("peak memory: %.1f MB\n", peakKilobytes() / 1024.0);
    return 0;
}
