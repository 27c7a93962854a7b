#include "support/Version.h"

#include <QApplication>
#include <QProcess>

// The window program. Until the main window exists, it shows the project tree through the
// command-line tool's tree listing.
int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QString::fromLatin1(Version::AppTitle));
    return 0;
}
