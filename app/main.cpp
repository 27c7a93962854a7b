#include "app/Startup.h"
#include "app/WindowArguments.h"
#include "catalogue/Catalogue.h"
#include "platform/core/QtTranslations.h"
#include "platform/desktop/QtMessageBoxes.h"
#include "support/Version.h"

#include <QApplication>
#include <cstring>

// Starts the program: shows the About window as the opening screen; closing it brings up the main
// window, which loads the folder given on the command line, else the settings file's, when first
// activated.
int main(int argc, char* argv[])
{
    // --help and --version answer without a display.
    for (int i = 1; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0 || std::strcmp(argv[i], "--version") == 0) {
            WindowArguments ignored;
            return ReadWindowArguments({QString::fromLocal8Bit(argv[i])}, ignored);
        }
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(Version::AppTitle));
    QApplication::setApplicationVersion(QString::fromStdString(Version::Number()));
    InstallQtSpanishTranslation(app);
    // Qt has taken its own options (-platform, -style...) out of the arguments by now.
    WindowArguments arguments;
    if (const int status = ReadWindowArguments(QApplication::arguments().mid(1), arguments); status >= 0)
        return status;

    QtMessageBoxes messageBoxes;
    InstallMessageBoxAnswerer(&messageBoxes);

    Catalogue catalogue;
    StartProgram(catalogue, arguments.folder);
    return app.exec();
}
