#include "support/mShell.h"

#include "platform/desktop/MessageBoxes.h"
#include "platform/desktop/ShellExecute.h"
#include "support/Version.h"

#include <new>

namespace {

// The number of a failure that has no number of its own: &H80040418 + the shell's result.
constexpr std::int32_t DefaultBase = std::int32_t(0x80040418u);

// The source of its errors: the program's executable name (not its title), then ".GShell".
QString source()
{
    return QString::fromLatin1(Version::ProgramName) + QStringLiteral(".GShell");
}

}

ProgramError ShellFailure(std::intptr_t result)
{
    const auto fallback = DefaultBase + static_cast<std::int32_t>(result);
    int number = fallback;
    QString description;
    switch (result) {
    case 0:
    case 8:
        number = 7;
        description = QStringLiteral("Out of memory");
        break;
    case 2:
        number = 53;
        description = QStringLiteral("File not found");
        break;
    case 3:
        number = 76;
        description = QStringLiteral("Path not found");
        break;
    case 5:
        number = 75;
        description = QStringLiteral("Path/file access error");
        break;
    case 11:
        description = QStringLiteral("The executable file is invalid or corrupt");
        break;
    case 26:
        number = 75;
        description = QStringLiteral("A sharing violation occurred.");
        break;
    case 27:
        description = QStringLiteral("This file type does not have a valid file association.");
        break;
    case 28:
        number = 286;
        description = QStringLiteral("The file could not be opened due to time out.  Please try again in a moment.");
        break;
    case 29:
        number = 285;
        description = QStringLiteral("The file could not be opened because the DDE transaction failed.  "
                                     "Please try again in a moment.");
        break;
    case 30:
        number = 285;
        description = QStringLiteral("The file could not be opened because the target application is busy.  "
                                     "Please try again in a moment.");
        break;
    case 31:
        description = QStringLiteral("No application is associated with this file type.");
        break;
    case 32:
        number = 48;
        description = QStringLiteral("The specified dynamic-link library was not found.");
        break;
    default:
        description = QStringLiteral("An error occurred occurred whilst trying to open or print the selected file.");
        break;
    }
    return ProgramError(number, description, source());
}

bool ShellOpen(const QString& File, std::int32_t ShowCommand, const QString& Parameters, const QString& DefaultFolder,
               const QString& Operation, QWidget* Owner)
{
    if (File.toUpper().contains(QStringLiteral(".EXE")))
        ShowCommand = WinApi::SW_HIDE;
    WinApi::HINSTANCE result = WinApi::SE_ERR_OOM;
    try {
        if (Parameters.isEmpty() && DefaultFolder.isEmpty())
            result = WinApi::ShellExecuteA(Owner, Operation, File, QString(), QString(), WinApi::SW_SHOWNORMAL);
        else
            result = WinApi::ShellExecuteA(Owner, Operation, File, Parameters, DefaultFolder, ShowCommand);
    } catch (const std::bad_alloc&) {
        result = WinApi::SE_ERR_OOM;
    }
    if (result < 0 || result > 32)
        return true;
    throw ShellFailure(result);
}

void OpenDocument(const QString& Target, QWidget* Owner)
{
    QString description;
    try {
        ShellOpen(Target, WinApi::SW_SHOWDEFAULT, QString(), QString(), QStringLiteral("open"), Owner);
        return;
    } catch (const ProgramError& error) {
        description = error.Description;
    } catch (const std::exception& error) {
        description = QString::fromLocal8Bit(error.what());
    }
    ShowMessage(QStringLiteral("Sorry, I failed to open '") + Target + QStringLiteral("' due to an error.\r\n\r\n[")
                    + description + u']',
                MsgStyle::Exclamation);
}
