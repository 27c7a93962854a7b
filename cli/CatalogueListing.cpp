#include "cli/CatalogueListing.h"

#include "catalogue/Catalogue.h"
#include "platform/controls/Controls.h"
#include "platform/files/HostNames.h"

#include <QStringList>

namespace CatalogueListing {

QString escapeField(const QString& field)
{
    QString out;
    out.reserve(field.size());
    for (QChar c : field) {
        switch (c.unicode()) {
        case u'\\': out += QStringLiteral("\\\\"); break;
        case u'\t': out += QStringLiteral("\\t"); break;
        case u'\r': out += QStringLiteral("\\r"); break;
        case u'\n': out += QStringLiteral("\\n"); break;
        case u'\0': out += QStringLiteral("\\0"); break;
        default:
            // A byte of a file name that is not valid text (see HostNames) shows as \xNN.
            if (c.unicode() >= 0xDC80 && c.unicode() <= 0xDCFF)
                out += HostNames::displayed(QString(c));
            else
                out += c;
        }
    }
    return out;
}

namespace {

void appendSubtree(const TreeControl& tree, int position, int depth, QString& out)
{
    const TreeNode& node = tree.Node(position);
    out += QString(depth * 2, u' ');
    out += escapeField(node.key) + u'\t' + escapeField(node.text) + u'\t' + QString::number(node.image) + u'\n';
    for (int child : tree.Children(position))
        appendSubtree(tree, child, depth + 1, out);
}

void appendRecord(const QStringList& fields, QString& out)
{
    for (qsizetype i = 0; i < fields.size(); ++i) {
        if (i > 0)
            out += u'\t';
        out += escapeField(fields[i]);
    }
    out += u'\n';
}

}

QByteArray tree(const TreeControl& tree)
{
    QString out;
    for (int top : tree.Children(0))
        appendSubtree(tree, top, 0, out);
    return out.toUtf8();
}

QByteArray catalogue(const Catalogue& catalogue)
{
    QString out;
    appendRecord({"ProjectIndex", "FileName", "Kind", "Name", "DependencyIndex", "DependencyKind", "FilePath",
                  "Guid", "Key", "Description", "MajorVersion", "MinorVersion", "SizeKB", "FileDate"},
                 out);
    for (int i = 1; i <= catalogue.ProjectCount(); ++i) {
        const ProjectEntry& project = catalogue.Projects[i];
        const QStringList projectFields{QString::number(i), project.FileName, QString::number(project.Kind), project.Name};
        if (catalogue.DependencyCount(i) == 0) {
            appendRecord(projectFields + QStringList(10, QString()), out);
            continue;
        }
        for (int k = 1; k <= catalogue.DependencyCount(i); ++k) {
            const DependencyEntry& e = project.Dependencies[k];
            appendRecord(projectFields
                             + QStringList{QString::number(k), QString::number(e.Kind), e.FilePath, e.Guid, e.Key,
                                           e.Description, QString::number(e.MajorVersion),
                                           QString::number(e.MinorVersion), QString::number(e.SizeKB), e.FileDate},
                         out);
        }
    }
    return out.toUtf8();
}

}
