#include "support_files/WindowsRootImages.h"

#include "support_files/HiveImages.h"

#include <QDir>

namespace {

QByteArray quoted(const QString& text)
{
    return '"' + text.toUtf8().replace("\\", "\\\\").replace("\"", "\\\"") + '"';
}

void exportKey(RegistryStore& store, RegistryRoot root, const QString& path, const QString& relative, QByteArray& out)
{
    out += "\n[HKEY_LOCAL_MACHINE\\SOFTWARE" + (relative.isEmpty() ? QByteArray() : "\\" + relative.toUtf8()) + "]\n";
    for (const RegistryValue& value : store.values(root, path))
        out += (value.name.isEmpty() ? QByteArray("@") : quoted(value.name)) + "=hex(" + QByteArray::number(value.type, 16)
               + "):" + value.data.toHex(',') + '\n';
    for (const QString& name : store.subkeyNames(root, path))
        exportKey(store, root, path.isEmpty() ? name : path + u'\\' + name, relative.isEmpty() ? name : relative + u'\\' + name,
                  out);
}

}

QByteArray RegExportBelow(RegistryStore& store, RegistryRoot root, const QString& path)
{
    QByteArray out = "Windows Registry Editor Version 5.00\n";
    exportKey(store, root, path, QString(), out);
    return out;
}

bool MakeWindowsRootFromPrefix(const QString& prefixDir, const QString& user, QString* error)
{
    RegistryStore store(prefixDir);
    const QString config = prefixDir + QStringLiteral("/drive_c/windows/system32/config");
    const QString profile = prefixDir + QStringLiteral("/drive_c/users/") + user;
    QDir().mkpath(config);
    QDir().mkpath(profile);
    return MakeHive(config + QStringLiteral("/SOFTWARE"), RegExportBelow(store, RegistryRoot::LocalMachine, QStringLiteral("Software")), error)
           && MakeHive(config + QStringLiteral("/SYSTEM"), RegExportBelow(store, RegistryRoot::LocalMachine, QStringLiteral("System")), error)
           && MakeHive(profile + QStringLiteral("/NTUSER.DAT"), RegExportBelow(store, RegistryRoot::CurrentUser, QString()), error);
}
