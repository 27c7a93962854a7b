#pragma once

// Which ANSI code page the Windows world is read with: the one the world itself uses (its
// registry's ACP under HKLM\System\CurrentControlSet\Control\Nls\CodePage, which Wine sets from
// the locale its programs last ran under), unless the user names another for the run.

#include <QString>
#include <optional>

struct CodePageChoice {
    enum class Source { Default, Registry, Environment, CommandLine };
    int page = 1252;
    Source source = Source::Default;
    // Set when something named a page that cannot be used, which was then passed over: what
    // named it and the text it gave (the registry's value, the environment variable's).
    QString refused;
    QString refusedFrom; // "registry" or "ZANTREL_CODEPAGE"
};

// A code page number as the user or the registry writes it: decimal digits, blanks around them
// allowed; nothing for anything else.
std::optional<int> ParseCodePage(const QString& text);

// The page for this run: the command line's (already checked by its reader), else a served page
// in ZANTREL_CODEPAGE, else the current registry's ACP when served, else windows-1252.
// Reads one registry value; changes nothing.
CodePageChoice ChooseCodePage(std::optional<int> commandLine = std::nullopt);

// Makes the chosen page the one every ANSI text is read and written with, and keeps the choice
// for CodePageInUse().
void UseCodePage(const CodePageChoice& choice);
// The choice UseCodePage() last made; windows-1252 by default before it.
const CodePageChoice& CodePageInUse();

// Plain English for zantrel-cli's standard error, one line each: what was passed over, then which
// page the run reads with and where it came from. Empty for windows-1252 taken by default or from
// the registry with nothing passed over.
QString CodePageNotice(const CodePageChoice& choice);
// The same in Spanish, for the window's diagnostics; empty when the notice is.
QString CodePageTexto(const CodePageChoice& choice);
