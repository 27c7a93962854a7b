#pragma once

#include <QByteArray>
#include <QString>
#include <string_view>

// The ANSI code page of Windows programs in Western locales, windows-1252: how project files,
// settings files and plain-text reports are stored. Decoding never fails (the five unassigned
// bytes map to the C1 controls, as Windows does); encoding writes '?' for what the page lacks.
namespace AnsiCodePage {

QString decode(std::string_view bytes);
void appendDecoded(QString& out, std::string_view bytes);
QByteArray encode(const QString& text);
// One UTF-16 unit's byte, '?' when the page lacks it.
char encodeChar(char16_t u);

}
