#include "cli/Verb.h"

namespace {

constexpr Verb AllVerbs[] = {Verb::Tree,  Verb::Catalogue, Verb::Missing, Verb::Libraries, Verb::Uses,  Verb::Graph,
                             Verb::Drift, Verb::Closure,   Verb::Manifest, Verb::Export,  Verb::Report};

}

QString VerbName(Verb verb)
{
    switch (verb) {
    case Verb::Tree: return QStringLiteral("tree");
    case Verb::Catalogue: return QStringLiteral("catalogue");
    case Verb::Missing: return QStringLiteral("missing");
    case Verb::Libraries: return QStringLiteral("libraries");
    case Verb::Uses: return QStringLiteral("uses");
    case Verb::Graph: return QStringLiteral("graph");
    case Verb::Drift: return QStringLiteral("drift");
    case Verb::Closure: return QStringLiteral("closure");
    case Verb::Manifest: return QStringLiteral("manifest");
    case Verb::Export: return QStringLiteral("export");
    case Verb::Report: return QStringLiteral("report");
    }
    return QString();
}

std::optional<Verb> ParseVerb(const QString& word)
{
    for (const Verb verb : AllVerbs) {
        if (word == VerbName(verb))
            return verb;
    }
    return std::nullopt;
}
