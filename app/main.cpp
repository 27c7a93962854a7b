#include "app/Startup.h"
#include "app/WindowArguments.h"
#include "catalogue/Catalogue.h"
#include "platform/core/QtTranslations.h"
#include "platform/desktop/QtMessageBoxes.h"
#include "platform/files/HostNames.h"
#include "platform/registry/SystemCodePage.h"
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
            return ReadWindowArguments({HostNames::decode(QByteArray(argv[i]))}, ignored);
        }
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(Version::AppTitle));
    QApplication::setApplicationVersion(QString::fromStdString(Version::Number()));
    InstallQtSpanishTranslation(app);
    // Qt has taken its own options (-platform, -style...) out of argc and argv by now. The rest
    // are decoded without loss (see HostNames), not as QApplication::arguments() has them: a
    // folder named in bytes that are not UTF-8 is that folder.
    QStringList given;
    for (int i = 1; i < argc; ++i)
        given.append(HostNames::decode(QByteArray(argv[i])));
    WindowArguments arguments;
    if (const int status = ReadWindowArguments(given, arguments); status >= 0)
        return status;

    QtMessageBoxes messageBoxes;
    InstallMessageBoxAnswerer(&messageBoxes);

    // Before anything reads a file: the settings file is in the world's code page too.
    UseCodePage(ChooseCodePage());

    Catalogue catalogue;
    StartProgram(catalogue, arguments.folder);
    return app.exec();
}
