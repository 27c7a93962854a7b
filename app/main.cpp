#include "app/frmMain.h"
#include "catalogue/Catalogue.h"
#include "platform/QtMessageBoxes.h"
#include "support/Version.h"

#include <QApplication>

// Starts the program: reads the folder to load from the settings file and shows the main window,
// which loads it when it is first activated.
int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(Version::AppTitle));
    QApplication::setApplicationVersion(QStringLiteral("%1.%2.%3").arg(Version::Major).arg(Version::Minor).arg(Version::Revision));
    QtMessageBoxes messageBoxes;
    InstallMessageBoxAnswerer(&messageBoxes);

    Catalogue catalogue;
    auto* window = new frmMain(catalogue);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->show();
    window->activateWindow();
    return app.exec();
}
