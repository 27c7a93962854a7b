#pragma once

// Start-up: the opening screen first, then the main window.

#include <QString>

class Catalogue;
class frmAcerca;

// The start-up routine: shows the About window as the opening screen without waiting for it, and
// nothing else. Its first closing creates the main window over `catalogue` (which must outlive
// it) and shows it; the main window releases itself when closed. A `startFolder` (Windows form)
// is what the main window loads instead of the settings file's folder. Returns the About window.
frmAcerca* StartProgram(Catalogue& catalogue, const QString& startFolder = QString());
