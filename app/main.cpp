#include "app/Startup.h"
#include "catalogue/Catalogue.h"
#include "platform/desktop/QtMessageBoxes.h"
#include "support/Version.h"

#include <QApplication>

// Starts the program: shows the About window as the opening screen; closing it brings up the main
// window, which reads the folder to load from the settings file and loads it when first activated.
int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(Version::AppTitle));
    QApplication::setApplicationVersion(QStringLiteral("%1.%2.%3").arg(Version::Major).arg(Version::Minor).arg(Version::Revision));
    QtMessageBoxes messageBoxes;
    InstallMessageBoxAnswerer(&messageBoxes);

    Catalogue catalogue;
    StartProgram(catalogue);
    return app.exec();
}
