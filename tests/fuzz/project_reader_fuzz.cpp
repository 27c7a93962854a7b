// Feeds arbitrary bytes to the project file reader as a project file of a small fixed prefix
// that has a registry and real libraries, so references and components resolve (registered
// versions, relative and absolute paths, a library's \N form, a folder named in Chinese), and
// size and date are read, in the Western page or a double-byte one (codePageFor). The
// input is read in memory as the contents of C:\tmp\fuzz.vbp, with the line reading a file gets;
// each input gets a fresh catalogue and per-load memory, as each load of the program does. The
// prefix is made once per process, in memory (/dev/shm where there is one).
#include "catalogue/Catalogue.h"
#include "catalogue/LoadContext.h"
#include "catalogue/ProjectReader.h"
#include "platform/core/AnsiCodePage.h"
#include "platform/desktop/MessageBoxes.h"
#include "platform/files/PathMapper.h"
#include "platform/registry/RegistryStore.h"
#include "FuzzCheck.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstdint>

namespace {

QString memoryFolder()
{
    return QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm/zantrel-fuzz-XXXXXX")
                                                     : QDir::tempPath() + QStringLiteral("/zantrel-fuzz-XXXXXX");
}

void copyFixture(const QString& name, const QString& to)
{
    check(QFile::copy(QStringLiteral(ZANTREL_FIXTURES "/") + name, to)); // a missing fixture would resolve nothing
}

// One registered type library: HKCR\TypeLib\{guid}\version\0\win32 = path.
QByteArray typeLibKeys(const char* guid, const char* version, const char* path, const char* help)
{
    const QByteArray key = QByteArray("[Software\\\\Classes\\\\TypeLib\\\\") + guid + "\\\\" + version;
    return key + "] 1700000000\n@=\"" + help + "\"\n\n" + key + "\\\\0\\\\win32] 1700000000\n@=\"" + path + "\"\n\n";
}

struct Prefix {
    QTemporaryDir dir{memoryFolder()};
    ScriptedMessageBoxes messages;
    Prefix()
    {
        QDir root(dir.path());
        root.mkpath(QStringLiteral("drive_c/tmp/sub"));
        root.mkpath(QStringLiteral("drive_c/windows/system32"));
        root.mkpath(QStringLiteral("dosdevices"));
        QFile::link(QStringLiteral("../drive_c"), root.filePath(QStringLiteral("dosdevices/c:")));
        const QString sys = root.filePath(QStringLiteral("drive_c/windows/system32/"));
        copyFixture(QStringLiteral("facturacion.tlb"), sys + QStringLiteral("facturacion.tlb"));
        copyFixture(QStringLiteral("facturacion32.dll"), sys + QStringLiteral("facturacion32.dll"));
        copyFixture(QStringLiteral("controles32.ocx"), sys + QStringLiteral("controles32.ocx"));
        copyFixture(QStringLiteral("inventario.tlb"), root.filePath(QStringLiteral("drive_c/tmp/sub/inventario.tlb")));
        root.mkpath(QStringLiteral("drive_c/\u7a0b\u5e8f"));
        copyFixture(QStringLiteral("nominas.tlb"), root.filePath(QStringLiteral("drive_c/\u7a0b\u5e8f/nominas.tlb")));
        QByteArray reg = "WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n#arch=win32\n\n";
        reg += typeLibKeys("{3F2A9C10-5B7E-4D21-9A6C-0E8B1F4D7A21}", "1.0",
                           "C:\\\\windows\\\\system32\\\\facturacion.tlb", "Biblioteca");
        reg += typeLibKeys("{A7C1E5D2-0F3B-4C8E-B2D4-6E9F1A3C5B70}", "2.5",
                           "C:\\\\windows\\\\system32\\\\facturacion32.dll\\\\2", "Inventory");
        reg += typeLibKeys("{C4E8A1F6-2B7D-4A93-9E05-D1F3B6A8C2E9}", "3.0",
                           "%SystemRoot%\\\\system32\\\\controles32.ocx", "Controles");
        reg += typeLibKeys("{C4E8A1F6-2B7D-4A93-9E05-D1F3B6A8C2E9}", "3.a", "c:\\\\no\\\\such.ocx", "Otra");
        QFile file(root.filePath(QStringLiteral("system.reg")));
        if (file.open(QIODevice::WriteOnly))
            file.write(reg);
        file.close();
        PathMapper::setCurrent(dir.path());
        RegistryStore::resetCurrent();
    }
};

}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static Prefix prefix;
    const QByteArray input(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));

    Catalogue catalogue;
    catalogue.AppendProject(1);
    int DependencyCounter = 1;
    QString FileName = QStringLiteral("c:\\tmp\\fuzz.vbp");
    std::int32_t Kind = 0;
    QString Name;
    LoadContext load;
    DeterminaTipoDeProyecto(catalogue, load, 1, DependencyCounter, FileName, input, Kind, Name);
    prefix.messages.clear();
    return 0;
}
