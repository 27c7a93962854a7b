#include "app/common/mMain.h"

#include "app/common/CIni.h"
#include "platform/core/ProgramError.h"
#include "platform/desktop/MessageBoxes.h"

namespace {

void reportAccessError(const QString& detail)
{
    ShowMessage(QStringLiteral("LeerScanPath : ") + QString::number(ErrorNumbers::PathFileAccessError) + u' '
                    + StandardErrorDescription(ErrorNumbers::PathFileAccessError) + QStringLiteral(" (") + detail
                    + u')',
                MsgStyle::Critical);
}

}

QString LeerScanPath(const CIni& ini)
{
    // A link at the settings file's name is never followed: it reads as no settings file.
    const QString link = ini.EnlaceIgnorado(Settings::File);
    if (!link.isEmpty())
        ShowMessage(QStringLiteral("LeerScanPath : ") + link
                        + QStringLiteral(" es un enlace simbólico: no se sigue, se lee como si no hubiera archivo de "
                                         "configuración y se reemplaza al grabarlo"),
                    MsgStyle::Exclamation);
    // A settings file that exists but cannot be read is said, and left alone: the default path
    // serves this run only.
    const QString failure = ini.FalloDeLectura(Settings::File);
    if (!failure.isEmpty()) {
        reportAccessError(failure);
        return Settings::DefaultPath;
    }
    QString path = ini.Leer(Settings::Section, Settings::PathKey, Settings::File);
    if (path.isEmpty()) {
        path = Settings::DefaultPath;
        // The default serves this run either way; a settings file that cannot be written is said.
        QString why;
        if (!ini.Grabar(Settings::File, Settings::Section, Settings::PathKey, path, &why))
            reportAccessError(why);
    }
    return path;
}

int Confirmar(const QString& Mensaje)
{
    return ShowMessage(Mensaje, MsgStyle::YesNo | MsgStyle::Question | MsgStyle::DefaultButton2);
}
