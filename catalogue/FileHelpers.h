#pragma once

#include <QString>
#include <cstdint>

// The part of `path` after its last backslash; the whole text when it has none.
QString ExtraeNombreArchivo(const QString& path);

// The text strictly between the last two '#' of `line` (the path a Reference= line writes);
// empty when it has fewer than two.
QString ExtraeRuta(const QString& line);

// Size of the file at a Windows path in kilobytes: the byte count divided by 1024, rounded to
// two decimals and then to a whole number, both halves to even (1531 bytes give 2, 512 give 0).
// Counted from the full 64-bit size; 0 for a file that cannot be opened.
std::int32_t TamanoArchivo(const QString& path);

// Last-write time of the file at a Windows path in local time, as "dd/mm/yyyy hh:mm:ss"; a file
// that cannot be opened gives the all-zero time "01/01/1601 00:00:00".
QString FechaArchivo(const QString& path);

// The kilobyte rounding of TamanoArchivo for a byte count.
std::int32_t KilobytesOf(qint64 bytes);

// A path written in a project file (Path32=, a source file) made absolute against the project's
// folder (a Windows path): "." is skipped, ".." goes up a folder but never above the drive; a
// path with a drive is taken as it is.
QString ResolveInProjectFolder(const QString& written, const QString& projectFolder);
