#pragma once

#include <QString>
#include <QVariant>

// Reads and writes the program's settings file through the platform's private-profile files.
class CIni {
public:
    // The value of `LLave` in section `Seccion` of `ArchivoIni` (at most 254 characters), or an
    // empty string when the file, the section or the key is missing.
    QString Leer(const QString& Seccion, const QString& LLave, const QString& ArchivoIni) const;
    // Stores the text form of `valor`, creating the file, section or key as needed. Returns false
    // when the file cannot be written (or exists but cannot be read); it is then left as it was, and
    // `motivo` (when given) gets "<host path>: <reason>".
    bool Grabar(const QString& ArchivoIni, const QString& Seccion, const QString& LLave, const QVariant& valor,
                QString* motivo = nullptr) const;
    // The host path of a symbolic link at `ArchivoIni`'s name, which is read as no file and replaced
    // on the next write, never followed; an empty string when there is none.
    QString EnlaceIgnorado(const QString& ArchivoIni) const;
    // Why the existing `ArchivoIni` cannot be read, or an empty string when it can (or is missing).
    QString FalloDeLectura(const QString& ArchivoIni) const;
};

// The program's one CIni object, made on first use.
CIni& SharedIni();
