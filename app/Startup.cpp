#include "app/Startup.h"

#include "app/frmMain.h"
#include "support/frmAcerca.h"

frmAcerca* StartProgram(Catalogue& catalogue, const QString& startFolder)
{
    return frmAcerca::ShowOpeningScreen([&catalogue, startFolder] {
        auto* window = new frmMain(catalogue, nullptr, startFolder);
        window->setAttribute(Qt::WA_DeleteOnClose);
        window->show();
        window->activateWindow();
    });
}
