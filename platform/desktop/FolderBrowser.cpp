#include "platform/desktop/FolderBrowser.h"

#include "platform/files/PathMapper.h"

#include <QFileDialog>

namespace {
FolderBrowserAnswerer* installedAnswerer = nullptr;
}

void InstallFolderBrowserAnswerer(FolderBrowserAnswerer* answerer)
{
    installedAnswerer = answerer;
}

std::optional<QString> BrowseForFolder(QWidget* owner, const QString& instruction, const QString& startWindowsPath)
{
    if (installedAnswerer)
        return installedAnswerer->choose(instruction, startWindowsPath);
    const PathMapper& mapper = PathMapper::current();
    const QString chosen = QFileDialog::getExistingDirectory(owner, instruction, mapper.toHost(startWindowsPath),
                                                             QFileDialog::ShowDirsOnly);
    if (chosen.isEmpty())
        return std::nullopt;
    return mapper.toWindows(chosen);
}
