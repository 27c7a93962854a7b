#pragma once

#include <QByteArray>
#include <QString>
#include <string_view>

// The ANSI code page of the Windows world being read: how project files, source files, settings
// files and plain-text reports are stored. windows-1252 (the Western page) until use() names
// another. Decoding never fails: a byte or sequence the page does not map becomes U+FFFD (and
// windows-1252's five unassigned bytes the C1 controls, as Windows maps them); encoding writes
// '?' for what the page lacks.
//
// REQUIRES: use() before the reading starts; one page for the whole process.
namespace AnsiCodePage {

constexpr int kWestern = 1252;

// The pages Windows uses as an ANSI code page that this program reads and writes: the Western,
// Central European, Cyrillic, Greek, Turkish, Hebrew, Arabic, Baltic and Vietnamese pages
// (1250..1258), Thai (874), Japanese (932), Simplified Chinese (936), Korean (949), Traditional
// Chinese (950), and UTF-8 (65001).
bool isServed(int page);
// Makes a served page the one in use; false, and nothing changed, for another.
bool use(int page);
int current();

QString decode(std::string_view bytes);
void appendDecoded(QString& out, std::string_view bytes);
QByteArray encode(const QString& text);
// The bytes of one UTF-16 unit in the page (one, or two in a double-byte page) written to out;
// returns how many, 0 when the page lacks the character (and for any but ASCII under UTF-8).
int encodeChar(char16_t u, char out[2]);

}
