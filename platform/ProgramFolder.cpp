#include "platform/ProgramFolder.h"

#include "platform/Controls.h"
#include "platform/PathMapper.h"

#include <QCoreApplication>

QString ProgramFolder()
{
    return FolderListForm(PathMapper::current().toWindows(QCoreApplication::applicationDirPath()));
}
