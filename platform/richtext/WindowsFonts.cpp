#include "platform/richtext/WindowsFonts.h"

#include "platform/files/PathMapper.h"

#include <QDir>
#include <QFileInfo>
#include <QFontDatabase>
#include <QHash>

namespace {

// File names of the faces Windows programs commonly ask for.
const QHash<QString, QStringList>& faceFiles()
{
    static const QHash<QString, QStringList> files{
        {QStringLiteral("tahoma"), {QStringLiteral("tahoma.ttf"), QStringLiteral("tahomabd.ttf")}},
        {QStringLiteral("courier new"), {QStringLiteral("cour.ttf"), QStringLiteral("courbd.ttf")}},
        {QStringLiteral("arial"), {QStringLiteral("arial.ttf"), QStringLiteral("arialbd.ttf")}},
        {QStringLiteral("ms sans serif"), {QStringLiteral("ms_sans_serif.ttf")}},
    };
    return files;
}

const QHash<QString, QString>& compatibleFamilies()
{
    static const QHash<QString, QString> families{
        {QStringLiteral("courier new"), QStringLiteral("Liberation Mono")},
        {QStringLiteral("arial"), QStringLiteral("Liberation Sans")},
        {QStringLiteral("times new roman"), QStringLiteral("Liberation Serif")},
    };
    return families;
}

bool hasFamily(const QString& family)
{
    return QFontDatabase::families().contains(family, Qt::CaseInsensitive);
}

// Loads the face's files from the prefix's Fonts folder or Wine's; returns the family loaded.
QString loadFromFiles(const QString& face)
{
    const QStringList files = faceFiles().value(face.toLower());
    QStringList folders;
    const QString prefixFonts = PathMapper::current().toHost(QStringLiteral("C:\\windows\\Fonts"));
    if (!prefixFonts.isEmpty())
        folders.append(prefixFonts);
    folders.append(QStringLiteral("/usr/share/wine/fonts"));
    QString family;
    for (const QString& folder : folders) {
        for (const QString& file : files) {
            const QString path = QDir(folder).filePath(file);
            if (!QFileInfo(path).isFile())
                continue;
            const int id = QFontDatabase::addApplicationFont(path);
            const QStringList loaded = id >= 0 ? QFontDatabase::applicationFontFamilies(id) : QStringList();
            if (!loaded.isEmpty() && family.isEmpty())
                family = loaded.first();
        }
        if (!family.isEmpty())
            break;
    }
    return family;
}

}

namespace WindowsFonts {

QString Family(const QString& face)
{
    static QHash<QString, QString> resolved;
    const QString key = face.toLower();
    if (auto it = resolved.constFind(key); it != resolved.constEnd())
        return *it;

    QString family = face;
    if (!hasFamily(face)) {
        family = loadFromFiles(face);
        if (family.isEmpty() && compatibleFamilies().contains(key) && hasFamily(compatibleFamilies().value(key)))
            family = compatibleFamilies().value(key);
        if (family.isEmpty()) {
            const bool fixed = key.contains(QStringLiteral("courier"));
            family = QFontDatabase::systemFont(fixed ? QFontDatabase::FixedFont : QFontDatabase::GeneralFont).family();
        }
    }
    resolved.insert(key, family);
    return family;
}

}
