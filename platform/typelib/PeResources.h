#pragma once

// Resources of PE files (32- and 64-bit .dll, .ocx, .exe): where a TYPELIB resource lies.

#include "platform/files/ByteSource.h"
#include "platform/typelib/PeImage.h"

#include <QString>
#include <QStringView>
#include <cstdint>
#include <optional>

// Finds a resource in a PE32 or PE32+ image (.dll, .ocx, .exe) the way the Windows loader
// does for a data file: the type is a named type compared ignoring case ("TYPELIB"), the
// resource is numbered `id`, and among its languages the neutral one is preferred, else the
// first. Only the headers, the section table and the resource directory entries on the way
// are read.
// Returns where the resource's bytes lie in the source, or nullopt with `error` (when given)
// saying why: not an image, no such resource, or structures pointing outside the file.
std::optional<ByteRange> FindPeResource(const ByteSource& image, QStringView typeName,
                                        std::uint16_t id, QString* error = nullptr);
