#pragma once

// The type libraries of tests/fixtures/typelibs (made by widl and MinGW) and their GUIDs.

#include "support_files/FileBytes.h"

#include <QByteArray>
#include <QString>

namespace FixtureLibraries {

inline const QString Facturacion = QStringLiteral("{3F2A9C10-5B7E-4D21-9A6C-0E8B1F4D7A21}");
inline const QString Inventario = QStringLiteral("{A7C1E5D2-0F3B-4C8E-B2D4-6E9F1A3C5B70}");
inline const QString Nominas = QStringLiteral("{5D0B7E3A-9C41-4F2E-8A17-C3E6B0D92F48}");
inline const QString Controles = QStringLiteral("{C4E8A1F6-2B7D-4A93-9E05-D1F3B6A8C2E9}");

// The folder of the fixture files.
inline const QString Folder = QStringLiteral(ZANTREL_SOURCE_DIR "/tests/fixtures/typelibs");

// The bytes of fixture file `name` ("facturacion32.dll", "sub/x.tlb"); a missing fixture fails the
// test (see readAll).
inline QByteArray Bytes(const QString& name)
{
    return readAll(Folder + u'/' + name);
}

}
