#include "platform/files/ProgramFolder.h"

#include "platform/files/PathMapper.h"

#include <QCoreApplication>

QString FolderListForm(const QString& windowsPath)
{
    QString path = windowsPath;
    while (path.size() > 3 && (path.endsWith(u'\\') || path.endsWith(u'/')))
        path.chop(1);
    if (path.size() == 2 && path[1] == u':')
        path += u'\\';
    return path;
}

QString ProgramFolder()
{
    return FolderListForm(PathMapper::current().toWindows(QCoreApplication::applicationDirPath()));
}
