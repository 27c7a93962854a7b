#pragma once

class QCoreApplication;

// Loads Qt's own Spanish texts (qtbase_es: the buttons of message boxes, the file, print and page
// dialogs) from Qt's translations folder into `app`. Returns false, changing nothing, when the
// translation is not installed; the program's own texts are Spanish already and never go through it.
bool InstallQtSpanishTranslation(QCoreApplication& app);
