#pragma once

// The shell's folder browser. The real one is Qt's folder dialog; tests install an answerer.

#include <QString>
#include <optional>

class QWidget;

// The shell's folder browser: lets the user pick a file-system folder. Returns its path in
// Windows form (through the prefix's drives), or nothing when the user cancels.
std::optional<QString> BrowseForFolder(QWidget* owner, const QString& instruction, const QString& startWindowsPath);

// Answers the folder browser instead of the user (tests, scripts).
class FolderBrowserAnswerer {
public:
    virtual ~FolderBrowserAnswerer() = default;
    virtual std::optional<QString> choose(const QString& instruction, const QString& startWindowsPath) = 0;
};
// Installs the answerer of later browsers (not owned); null restores the real dialog.
void InstallFolderBrowserAnswerer(FolderBrowserAnswerer* answerer);
