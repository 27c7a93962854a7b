#include "app/common/mMain.h"

#include "app/common/CIni.h"
#include "platform/core/ProgramError.h"
#include "platform/desktop/MessageBoxes.h"

QString LeerScanPath(const CIni& ini)
{
    // A settings file that exists but cannot be read is said, and left alone: the default path
    // serves this run only.
    const QString failure = ini.FalloDeLectura(Settings::File);
    if (!failure.isEmpty()) {
        ShowMessage(QStringLiteral("LeerScanPath : ") + QString::number(ErrorNumbers::PathFileAccessError) + u' '
                        + StandardErrorDescription(ErrorNumbers::PathFileAccessError) + QStringLiteral(" (")
                        + failure + u')',
                    MsgStyle::Critical);
        return Settings::DefaultPath;
    }
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
