#include "app/Startup.h"
#include "app/frmMain.h"
#include "catalogue/Catalogue.h"
#include "platform/desktop/MessageBoxes.h"
#include "support/frmAcerca.h"
#include "support_files/TempPrefix.h"
#include "support_files/TestApplication.h"

#include <QAction>
#include <QApplication>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

QList<frmMain*> visibleMainWindows()
{
    QList<frmMain*> windows;
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* main = qobject_cast<frmMain*>(widget); main && main->isVisible())
            windows.append(main);
    return windows;
}

}

TEST(StartUp, TheOpeningScreenComesFirstAndTheMenuReopensItModally)
{
    TestApplication();
    TempPrefix prefix;
    prefix.writeLines("tmp/Facturas.vbp", {"Type=Exe", "Name=\"Facturas\""});
    ScriptedMessageBoxes messages;
    Catalogue catalogue;

    QPointer<frmAcerca> opening = StartProgram(catalogue);
    ASSERT_TRUE(opening);
    EXPECT_TRUE(opening->isVisible());
    EXPECT_TRUE(visibleMainWindows().isEmpty()) << "nothing else runs yet";
    EXPECT_TRUE(catalogue.ScanPath.isEmpty()) << "the settings are read by the main window";

    opening->cmd()->click();
    ASSERT_EQ(visibleMainWindows().size(), 1);
    QPointer<frmMain> main = visibleMainWindows().first();
    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(main, &activate);
    EXPECT_EQ(catalogue.ProjectCount(), 1);

    bool sawModalAbout = false;
    QTimer closer; // ends with the test, so it never fires into a later one
    closer.setSingleShot(true);
    QObject::connect(&closer, &QTimer::timeout, [&] {
        auto* about = qobject_cast<frmAcerca*>(QApplication::activeModalWidget());
        sawModalAbout = about && about->windowTitle() == "Acerca de ...";
        if (about)
            about->close(); // the close box
    });
    closer.start(0);
    QAction* entry = main->findChild<QAction*>("mnuAyuda_acercade");
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->text(), "A&cerca de ...");
    entry->trigger();
    EXPECT_TRUE(sawModalAbout);
    EXPECT_EQ(visibleMainWindows().size(), 1) << "no second main window";
    EXPECT_TRUE(messages.shown().isEmpty());
    main->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}
