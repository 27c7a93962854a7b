#include "app/common/mMain.h"

#include "app/common/CIni.h"
#include "platform/desktop/MessageBoxes.h"

QString LeerScanPath(const CIni& ini)
{
    QString path = ini.Leer(Settings::Section, Settings::PathKey, Settings::File);
    if (path.isEmpty()) {
        path = Settings::DefaultPath;
        ini.Grabar(Settings::File, Settings::Section, Settings::PathKey, path);
    }
    return path;
}

int Confirmar(const QString& Mensaje)
{
    return ShowMessage(Mensaje, MsgStyle::YesNo | MsgStyle::Question | MsgStyle::DefaultButton2);
}
