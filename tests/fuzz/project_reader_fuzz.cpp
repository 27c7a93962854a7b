// Feeds arbitrary bytes to the project file reader as a project file of a temporary prefix.
#include "catalogue/Catalogue.h"
#include "catalogue/LoadContext.h"
#include "catalogue/ProjectReader.h"
#include "platform/desktop/MessageBoxes.h"
#include "platform/files/PathMapper.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstdint>

namespace {

struct Prefix {
    QTemporaryDir dir;
    ScriptedMessageBoxes messages;
    Prefix()
    {
        QDir root(dir.path());
        root.mkpath(QStringLiteral("drive_c/tmp"));
        root.mkpath(QStringLiteral("dosdevices"));
        QFile::link(QStringLiteral("../drive_c"), root.filePath(QStringLiteral("dosdevices/c:")));
        PathMapper::setCurrent(dir.path());
    }
};

}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static Prefix prefix;
    QFile file(prefix.dir.path() + QStringLiteral("/drive_c/tmp/fuzz.vbp"));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return 0;
    file.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size));
    file.close();

    Catalogue catalogue;
    catalogue.AppendProject(1);
    int DependencyCounter = 1;
    QString FileName = QStringLiteral("c:\\tmp\\fuzz.vbp");
    std::int32_t Kind = 0;
    QString Name;
    LoadContext load;
    DeterminaTipoDeProyecto(catalogue, load, 1, DependencyCounter, FileName, Kind, Name);
    prefix.messages.clear();
    return 0;
}
