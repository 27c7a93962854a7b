#include "app/Images.h"

#include "catalogue/FolderScan.h"

#include <QHash>

static void initialiseResources()
{
    static bool done = false;
    if (!done) {
        Q_INIT_RESOURCE(images);
        done = true;
    }
}

namespace Images {

namespace {

QIcon cached(const QString& path)
{
    static QHash<QString, QIcon> icons;
    auto it = icons.find(path);
    if (it == icons.end()) {
        initialiseResources();
        it = icons.insert(path, QIcon(path));
    }
    return *it;
}

}

QIcon TreeImage(int index)
{
    switch (index) {
    case TreeImages::Project: return cached(QStringLiteral(":/images/project.svg"));
    case TreeImages::References: return cached(QStringLiteral(":/images/references.svg"));
    case TreeImages::Components: return cached(QStringLiteral(":/images/components.svg"));
    }
    return QIcon();
}

QIcon ToolbarImage(const QString& key)
{
    static const QHash<QString, QString> files{
        {QStringLiteral("cmdPrint"), QStringLiteral(":/images/print.svg")},
        {QStringLiteral("cmdRefresh"), QStringLiteral(":/images/refresh.svg")},
        {QStringLiteral("cmdExcel"), QStringLiteral(":/images/excel.svg")},
        {QStringLiteral("cmdExit"), QStringLiteral(":/images/exit.svg")},
    };
    return files.contains(key) ? cached(files.value(key)) : QIcon();
}

}
