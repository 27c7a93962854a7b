#include "app/common/CIni.h"

#include "platform/files/PrivateProfile.h"

QString CIni::Leer(const QString& Seccion, const QString& LLave, const QString& ArchivoIni) const
{
    // A buffer of 255 characters holds at most 254 and the terminating null.
    return PrivateProfile::GetString(Seccion, LLave, QString(), 255, ArchivoIni);
}

bool CIni::Grabar(const QString& ArchivoIni, const QString& Seccion, const QString& LLave, const QVariant& valor,
                  QString* motivo) const
{
    return PrivateProfile::WriteString(Seccion, LLave, valor.toString(), ArchivoIni, motivo);
}

QString CIni::EnlaceIgnorado(const QString& ArchivoIni) const
{
    return PrivateProfile::IgnoredLink(ArchivoIni);
}

QString CIni::FalloDeLectura(const QString& ArchivoIni) const
{
    return PrivateProfile::ReadFailure(ArchivoIni);
}

CIni& SharedIni()
{
    static CIni ini;
    return ini;
}
