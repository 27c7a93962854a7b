#include "platform/typelib/PrefixCheck.h"

#include "platform/files/FolderListing.h"
#include "platform/files/PathMapper.h"
#include "platform/files/RegularFile.h"
#include "platform/registry/RegistryStore.h"

#include <QFile>
#include <QFileInfo>

namespace {

// stdole 2.0, locale 0: Wine registers it in every prefix, for each half of Wine it has.
const QString kOleAutomation = QStringLiteral("TypeLib\\{00020430-0000-0000-C000-000000000046}\\2.0\\0\\");

// The host path of `name` in `folder`, found ignoring case; empty when there is none.
QString entry(const QString& folder, const QString& name)
{
    if (folder.isEmpty())
        return QString();
    const QString found = findEntryIgnoringCase(folder, name);
    return found.isEmpty() ? QString() : folder + u'/' + found;
}

// Whether system.reg says the prefix is 64-bit; Wine writes "#arch=" near its head.
bool registrySays64Bit(const QString& prefix)
{
    const FileContents head =
        ReadRegularFile(prefix + QStringLiteral("/system.reg"), 4096, FollowLinks::Yes, PastTheBound::KeepHead);
    return head.ok() && head.bytes.contains("\n#arch=win64");
}

bool systemFoldersLack32Bit(const PathMapper& paths)
{
    const QString windows = entry(paths.driveRoot(u'c'), QStringLiteral("windows"));
    const QString system32 = entry(windows, QStringLiteral("system32"));
    if (!IsRegularFile(entry(system32, QStringLiteral("kernel32.dll"))))
        return false; // not a folder Wine filled: nothing to judge by
    const QString syswow64 = entry(windows, QStringLiteral("syswow64"));
    const bool is64Bit = QFileInfo(syswow64).isDir() || registrySays64Bit(paths.prefix());
    return is64Bit && !IsRegularFile(entry(syswow64, QStringLiteral("kernel32.dll")));
}

bool registeredFor64BitOnly()
{
    const auto store = RegistryStore::current();
    return store->keyExists(RegistryRoot::ClassesRoot, QString(kOleAutomation + QStringLiteral("win64")))
           && !store->keyExists(RegistryRoot::ClassesRoot, QString(kOleAutomation + QStringLiteral("win32")));
}

}

PrefixCheck CheckCurrentPrefix()
{
    const PathMapper& paths = PathMapper::current();
    PrefixCheck check;
    check.prefix = paths.prefix();
    if (paths.isWindowsRoot())
        return check; // a Windows machine is no Wine prefix; its own check is MachineHives::error()
    if (!QFileInfo(check.prefix + QStringLiteral("/system.reg")).isFile()
        && !QFileInfo(check.prefix + QStringLiteral("/dosdevices")).isDir())
        check.problem = PrefixProblem::NoPrefix;
    else if (registeredFor64BitOnly() || systemFoldersLack32Bit(paths))
        check.problem = PrefixProblem::Without32Bit;
    return check;
}

QString PrefixProblemText(const PrefixCheck& check)
{
    switch (check.problem) {
    case PrefixProblem::None: break;
    case PrefixProblem::NoPrefix:
        return QStringLiteral("no Wine prefix at %1 ($WINEPREFIX, else ~/.wine): no reference or component can be "
                              "resolved")
            .arg(check.prefix);
    case PrefixProblem::Without32Bit:
        return QStringLiteral("the Wine prefix at %1 was made by a Wine without its 32-bit half (no 32-bit system "
                              "files, libraries registered for 64-bit Windows only), so the references and components "
                              "of a Visual Basic project, a 32-bit program, cannot be resolved in it. Install Debian's "
                              "32-bit Wine, wine32 (dpkg --add-architecture i386 && apt install wine32), then make the "
                              "prefix again or run wineboot in it.")
            .arg(check.prefix);
    }
    return QString();
}

QString PrefixProblemTexto(const PrefixCheck& check)
{
    switch (check.problem) {
    case PrefixProblem::None: break;
    case PrefixProblem::NoPrefix:
        return QStringLiteral("No hay un prefijo de Wine en %1 ($WINEPREFIX, si no ~/.wine): no se puede resolver "
                              "ninguna referencia ni ningún componente.")
            .arg(check.prefix);
    case PrefixProblem::Without32Bit:
        return QStringLiteral("El prefijo de Wine %1 se hizo con un Wine sin su parte de 32 bits (no tiene los "
                              "archivos de sistema de 32 bits y sus bibliotecas están registradas solo para Windows "
                              "de 64 bits), así que las referencias y los componentes de un proyecto de Visual Basic, "
                              "que es un programa de 32 bits, no se pueden resolver en él. Instale el Wine de 32 bits "
                              "de Debian, wine32 (dpkg --add-architecture i386 && apt install wine32), y vuelva a "
                              "crear el prefijo o ejecute wineboot en él.")
            .arg(check.prefix);
    }
    return QString();
}
