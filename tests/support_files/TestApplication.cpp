#include "support_files/TestApplication.h"

#include <QApplication>

QApplication& TestApplication()
{
    static int argc = 1;
    static char name[] = "zantrel-tests";
    static char* argv[] = {name, nullptr};
    static QApplication* application = [] {
        auto* app = new QApplication(argc, argv);
        QApplication::setApplicationName(QStringLiteral("Zantrel"));
        return app;
    }();
    return *application;
}
