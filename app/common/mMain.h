#pragma once

// The main program's shared pieces outside any window: the settings file's one setting and the
// Yes/No question before an action.

#include <QString>

class CIni;

// The settings file and its one setting: the folder to load.
namespace Settings {
inline const QString File = QStringLiteral("ZANTREL.INI");
inline const QString Section = QStringLiteral("general");
inline const QString PathKey = QStringLiteral("path");
inline const QString DefaultPath = QStringLiteral("c:\\tmp\\");
}

// The folder to load as the settings file gives it; when the key is missing or empty, the
// default "c:\tmp\", which is written back at once. A settings file that exists but cannot be
// read is reported (critical message) and never rewritten; the default serves for this run.
QString LeerScanPath(const CIni& ini);

// Asks `Mensaje` with Yes and No buttons, the question icon and No as the default button;
// returns 6 for Yes and 7 for No.
int Confirmar(const QString& Mensaje);
