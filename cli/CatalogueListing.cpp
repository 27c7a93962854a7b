#include "cli/CatalogueListing.h"

#include "platform/controls/Controls.h"
#include "output/OutputFormat.h"

namespace CatalogueListing {

QString escapeField(const QString& field)
{
    return OutputText::tsvField(field);
}

namespace {

void writeSubtree(const TreeControl& tree, int position, int depth, const OutputSink& sink)
{
    const TreeNode& node = tree.Node(position);
    const QString line = QString(depth * 2, u' ') + escapeField(node.key) + u'\t' + escapeField(node.text) + u'\t'
                         + QString::number(node.image) + u'\n';
    sink(line.toUtf8());
    for (int child : tree.Children(position))
        writeSubtree(tree, child, depth + 1, sink);
}

}

void writeTree(const TreeControl& tree, const OutputSink& sink)
{
    for (int top : tree.Children(0))
        writeSubtree(tree, top, 0, sink);
}

QByteArray tree(const TreeControl& tree)
{
    QByteArray out;
    writeTree(tree, [&out](const QByteArray& piece) { out += piece; });
    return out;
}

}
