#include "platform/registry/WindowsWorld.h"

#include "platform/files/HostNames.h"
#include "platform/files/PathMapper.h"
#include "platform/registry/MachineHives.h"
#include "platform/registry/RegistryStore.h"

#include <QFileInfo>

bool ParseDriveOption(const QString& text, std::pair<QChar, QString>& drive)
{
    if (text.size() < 3 || text[1] != u'=' || !text[0].isLetter() || text[0].unicode() > 127)
        return false;
    const QChar letter = text[0].toUpper();
    if (letter == u'C')
        return false;
    drive = {letter, text.mid(2)};
    return true;
}

void UseWorld(const WorldOptions& options)
{
    WindowsRoot root;
    if (!options.windowsRoot.isEmpty()) {
        root.root = options.windowsRoot;
    } else if (const std::optional<WindowsRoot> fromEnvironment = PathMapper::windowsRootFromEnvironment()) {
        root = *fromEnvironment;
    } else {
        return; // the prefix: the current mapper already is its own (PathMapper::current())
    }
    root.drives = options.drives;
    root.user = options.user;
    PathMapper::setCurrent(root);
}

QString WorldError()
{
    const PathMapper& paths = PathMapper::current();
    if (!paths.isWindowsRoot())
        return QString();
    if (!QFileInfo(paths.prefix()).isDir())
        return QStringLiteral("%1: no such folder (the Windows system's disk is read from it)").arg(paths.prefix());
    return RegistryStore::current()->machineHives()->error();
}

QStringList WorldNotices()
{
    const PathMapper& paths = PathMapper::current();
    if (!paths.isWindowsRoot())
        return {};
    QString world = QStringLiteral("reading the Windows system at %1 as drive C:, never writing to it").arg(paths.prefix());
    if (!qEnvironmentVariableIsEmpty("WINEPREFIX"))
        world += QStringLiteral(" (the Wine prefix $WINEPREFIX names is not read)");
    QStringList notices{world};
    if (const MachineHives* hives = RegistryStore::current()->machineHives())
        notices += hives->notices();
    return notices;
}

QStringList WorldNotas()
{
    const PathMapper& paths = PathMapper::current();
    if (!paths.isWindowsRoot())
        return {};
    QStringList notas{QStringLiteral("Sistema Windows leído (sin escribir en él): %1").arg(HostNames::displayed(paths.prefix()))};
    if (const MachineHives* hives = RegistryStore::current()->machineHives()) {
        notas.append(hives->userName().isEmpty() ? QStringLiteral("Sin perfil de usuario: HKEY_CURRENT_USER vacío")
                                                 : QStringLiteral("Usuario: %1").arg(hives->userName()));
        for (const QString& hive : hives->uncleanHives())
            notas.append(QStringLiteral("Colmena no cerrada limpiamente, leída tal como está: %1").arg(HostNames::displayed(hive)));
    }
    return notas;
}
