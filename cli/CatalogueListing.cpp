#include "cli/CatalogueListing.h"

#include "platform/controls/Controls.h"
#include "output/OutputFormat.h"

namespace CatalogueListing {

QString escapeField(const QString& field)
{
    return OutputText::tsvField(field);
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

}

QByteArray tree(const TreeControl& tree)
{
    QString out;
    for (int top : tree.Children(0))
        appendSubtree(tree, top, 0, out);
    return out.toUtf8();
}

}
