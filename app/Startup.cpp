#include "app/Startup.h"

#include "app/frmMain.h"
#include "support/frmAcerca.h"

frmAcerca* StartProgram(Catalogue& catalogue)
{
    return frmAcerca::ShowOpeningScreen([&catalogue] {
        auto* window = new frmMain(catalogue);
        window->setAttribute(Qt::WA_DeleteOnClose);
        window->show();
        window->activateWindow();
    });
}
