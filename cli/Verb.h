#pragma once

// What one run of zantrel-cli does: the verb its command line names, read from the arguments
// once (by ReadCommandLine) and switched on from then on.

#include <QString>
#include <optional>

// In the order --help lists them.
enum class Verb { Tree, Catalogue, Missing, Libraries, Uses, Graph, Drift, Closure, Manifest, Export, Report };

// The word that names `verb` on the command line ("tree", "catalogue", ...).
QString VerbName(Verb verb);

// The verb `word` names, compared exactly; nothing for a word that is no verb.
std::optional<Verb> ParseVerb(const QString& word);
