// Builds the dependency report (both forms) and its rich text from a catalogue whose texts are
// arbitrary (project names, file names, paths, descriptions, GUIDs come from project files and
// libraries, both outside input) and checks the rich text's framing: one balanced group with
// nothing after it, so no brace or backslash of a text escapes it, and no NUL byte.
#include "catalogue/Catalogue.h"
#include "output/ReportBuilder.h"
#include "platform/controls/MemoryControls.h"
#include "platform/richtext/RtfWriter.h"
#include "FuzzCheck.h"

#include <cstdint>
#include <cstdlib>

namespace {

// Balanced braces outside escapes, and the document is one group.
void checkFraming(const QByteArray& rtf)
{
    check(rtf.startsWith("{\\rtf1"));
    int depth = 0;
    for (qsizetype i = 0; i < rtf.size(); ++i) {
        const char c = rtf.at(i);
        if (c == '\\') {
            ++i; // the escaped character, or the first letter of a control word
            continue;
        }
        if (c == '{')
            ++depth;
        else if (c == '}')
            check(--depth >= 0);
        check(c != '\0');
        if (depth == 0)
            check(i == rtf.size() - 1 || rtf.mid(i + 1).trimmed().isEmpty());
    }
    check(depth == 0);
}

}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QStringList fields = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size)).split(u'\x1f');
    auto field = [&](qsizetype i) { return fields.value(i % std::max<qsizetype>(fields.size(), 1)); };

    Catalogue catalogue;
    MemoryTree tree;
    tree.Add(QString(), QStringLiteral("root"), QStringLiteral("Sistemas"), 0);
    const int projects = int(std::min<qsizetype>(1 + fields.size() / 8, 6));
    qsizetype next = 0;
    for (int p = 1; p <= projects; ++p) {
        catalogue.AppendProject(p);
        const QString name = field(next++);
        const QString fileName = field(next++);
        catalogue.SetProjectFields(p, fileName, p % 5, name);
        int counter = 1;
        for (int d = 0; d < p % 3 + 1; ++d) {
            DependencyEntry entry;
            entry.Kind = d % 2 ? DependencyKind::Component : DependencyKind::Reference;
            entry.FilePath = field(next++);
            entry.Description = field(next++);
            entry.Guid = field(next++);
            entry.FileDate = field(next++);
            entry.MajorVersion = d;
            entry.SizeKB = int(size);
            catalogue.AppendDependency(p, counter, entry);
        }
        const int node = tree.Add(QStringLiteral("root"), QStringLiteral("k") + QString::number(p),
                                  name + QStringLiteral(" (") + fileName + u')', 0);
        tree.SetChecked(node, true);
    }

    for (const ReportKind kind : {ReportKind::Detallado, ReportKind::Resumido}) {
        const QString text = ReportText(kind, tree, catalogue, nullptr);
        QList<RtfWriter::Run> runs;
        for (qsizetype at = 0, n = 0; at < text.size(); ++n) {
            const qsizetype length = std::min<qsizetype>(text.size() - at, 1 + (n * 7) % 40);
            runs.append({text.mid(at, length), n % 2 == 0, n % 3 == 0, n % 5 == 0});
            at += length;
        }
        checkFraming(RtfWriter::Write(runs, field(next), 10));
    }
    return 0;
}
