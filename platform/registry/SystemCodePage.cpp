#include "platform/registry/SystemCodePage.h"

#include "platform/core/AnsiCodePage.h"
#include "platform/registry/RegistryStore.h"

namespace {

const QString kCodePageKey = QStringLiteral("System\\CurrentControlSet\\Control\\Nls\\CodePage");

QString sourceName(CodePageChoice::Source source)
{
    switch (source) {
    case CodePageChoice::Source::CommandLine: return QStringLiteral("--codepage");
    case CodePageChoice::Source::Environment: return QStringLiteral("ZANTREL_CODEPAGE");
    case CodePageChoice::Source::Registry: return QStringLiteral("the registry's ACP");
    case CodePageChoice::Source::Default: break;
    }
    return QStringLiteral("the default");
}

QString sourceNombre(CodePageChoice::Source source)
{
    switch (source) {
    case CodePageChoice::Source::CommandLine: return QStringLiteral("--codepage");
    case CodePageChoice::Source::Environment: return QStringLiteral("ZANTREL_CODEPAGE");
    case CodePageChoice::Source::Registry: return QStringLiteral("ACP del registro");
    case CodePageChoice::Source::Default: break;
    }
    return QStringLiteral("predeterminada");
}

}

std::optional<int> ParseCodePage(const QString& text)
{
    const QString digits = text.trimmed();
    if (digits.isEmpty() || digits.size() > 5)
        return std::nullopt;
    for (QChar c : digits)
        if (c < u'0' || c > u'9')
            return std::nullopt;
    return digits.toInt();
}

CodePageChoice ChooseCodePage(std::optional<int> commandLine)
{
    CodePageChoice choice;
    if (commandLine && AnsiCodePage::isServed(*commandLine)) {
        choice.page = *commandLine;
        choice.source = CodePageChoice::Source::CommandLine;
        return choice;
    }
    if (qEnvironmentVariableIsSet("ZANTREL_CODEPAGE")) {
        const QString named = qEnvironmentVariable("ZANTREL_CODEPAGE");
        const std::optional<int> page = ParseCodePage(named);
        if (page && AnsiCodePage::isServed(*page)) {
            choice.page = *page;
            choice.source = CodePageChoice::Source::Environment;
            return choice;
        }
        choice.refused = named;
        choice.refusedFrom = QStringLiteral("ZANTREL_CODEPAGE");
    }
    const auto store = RegistryStore::current();
    const std::optional<RegistryValue> acp = store->value(RegistryRoot::LocalMachine, kCodePageKey, u"ACP");
    if (!acp)
        return choice;
    const QString written = store->text(RegistryRoot::LocalMachine, kCodePageKey, u"ACP");
    const std::optional<int> page = ParseCodePage(written);
    if (page && AnsiCodePage::isServed(*page)) {
        choice.page = *page;
        choice.source = CodePageChoice::Source::Registry;
    } else if (choice.refused.isNull()) {
        choice.refused = written;
        choice.refusedFrom = QStringLiteral("registry");
    }
    return choice;
}

CodePageChoice& choiceInUse()
{
    static CodePageChoice choice;
    return choice;
}

void UseCodePage(const CodePageChoice& choice)
{
    if (AnsiCodePage::use(choice.page))
        choiceInUse() = choice;
}

const CodePageChoice& CodePageInUse()
{
    return choiceInUse();
}

namespace {

bool saysNothingNew(const CodePageChoice& choice)
{
    return choice.refused.isNull() && choice.page == AnsiCodePage::kWestern
           && (choice.source == CodePageChoice::Source::Default || choice.source == CodePageChoice::Source::Registry);
}

}

QString CodePageNotice(const CodePageChoice& choice)
{
    QStringList lines;
    if (!choice.refused.isNull()) {
        const QString what = choice.refusedFrom == QStringLiteral("registry")
                                 ? QStringLiteral("the registry's ACP (HKLM\\") + kCodePageKey + QStringLiteral(") is \"")
                                 : QStringLiteral("ZANTREL_CODEPAGE is \"");
        lines.append(QStringLiteral("warning: ") + what + choice.refused
                     + QStringLiteral("\", not a code page Zantrel can read; it is passed over"));
    }
    if (!saysNothingNew(choice))
        lines.append(QStringLiteral("reading ANSI text with code page %1 (from %2)").arg(choice.page).arg(sourceName(choice.source)));
    return lines.join(u'\n');
}

QString CodePageTexto(const CodePageChoice& choice)
{
    if (saysNothingNew(choice))
        return QString();
    QString text = QStringLiteral("Página de códigos: %1 (%2)").arg(choice.page).arg(sourceNombre(choice.source));
    if (!choice.refused.isNull())
        text += QStringLiteral("; se pasó por alto \"%1\" de %2, que no es una página de códigos que se pueda leer")
                    .arg(choice.refused, choice.refusedFrom == QStringLiteral("registry") ? QStringLiteral("el registro")
                                                                                          : QStringLiteral("ZANTREL_CODEPAGE"));
    return text;
}
