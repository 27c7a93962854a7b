#include "app/TreeModel.h"

#include "app/Images.h"

#include <utility>

TreeModel::TreeModel(MemoryTree& tree, QObject* parent)
    : QAbstractItemModel(parent), tree_(tree)
{
    tree_.SetObserver(this);
}

TreeModel::~TreeModel()
{
    tree_.SetObserver(nullptr);
}

QModelIndex TreeModel::index(int row, int column, const QModelIndex& parent) const
{
    if (column != 0 || row < 0)
        return QModelIndex();
    const int child = tree_.ChildAt(positionOf(parent), row);
    return child == 0 || hidden(child) ? QModelIndex() : createIndex(row, 0, quintptr(child));
}

QModelIndex TreeModel::parent(const QModelIndex& child) const
{
    const int position = positionOf(child);
    if (position == 0)
        return QModelIndex();
    return indexOfPosition(tree_.Node(position).parent);
}

int TreeModel::rowCount(const QModelIndex& parent) const
{
    if (parent.column() > 0)
        return 0;
    const int position = positionOf(parent);
    return batching_ ? tree_.ChildCountAmongFirst(position, published_) : tree_.ChildCount(position);
}

int TreeModel::columnCount(const QModelIndex&) const
{
    return 1;
}

QVariant TreeModel::data(const QModelIndex& index, int role) const
{
    const int position = positionOf(index);
    if (position == 0)
        return QVariant();
    const TreeNode& node = tree_.Node(position);
    switch (role) {
    case Qt::DisplayRole: return node.text;
    case Qt::DecorationRole: return Images::TreeImage(node.image);
    case Qt::CheckStateRole: return node.checked ? Qt::Checked : Qt::Unchecked;
    case Qt::ToolTipRole: return node.text;
    }
    return QVariant();
}

bool TreeModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    const int position = positionOf(index);
    if (position == 0 || role != Qt::CheckStateRole)
        return false;
    const bool checked = value.toInt() == Qt::Checked;
    if (tree_.Node(position).checked != checked)
        tree_.ToggleByUser(position);
    return true;
}

Qt::ItemFlags TreeModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable;
}

QModelIndex TreeModel::indexOfPosition(int position) const
{
    if (position == 0)
        return QModelIndex();
    return createIndex(tree_.RowOf(position), 0, quintptr(position));
}

int TreeModel::positionOf(const QModelIndex& index) const
{
    return index.isValid() ? static_cast<int>(index.internalId()) : 0;
}

void TreeModel::SetBatching(bool on)
{
    if (on == batching_)
        return;
    if (on) {
        batching_ = true;
        published_ = tree_.Count();
        sincePublished_.start();
    } else {
        publish();
        batching_ = false;
    }
}

void TreeModel::publish()
{
    beginResetModel();
    published_ = tree_.Count();
    endResetModel();
    sincePublished_.restart();
    emit published();
    // The last node made visible while the view did not know it yet is shown now.
    if (const int pending = std::exchange(pendingVisible_, 0); pending >= 1 && pending <= tree_.Count())
        emit madeVisible(indexOfPosition(pending));
}

void TreeModel::aboutToReset()
{
    beginResetModel();
}

void TreeModel::reset()
{
    pendingVisible_ = 0;
    published_ = tree_.Count();
    endResetModel();
}

void TreeModel::aboutToAdd(int parent, int row)
{
    if (!batching_)
        beginInsertRows(indexOfPosition(parent), row, row);
}

void TreeModel::added(int)
{
    if (!batching_)
        endInsertRows();
}

void TreeModel::checkChanged(int position)
{
    if (hidden(position))
        return;
    const QModelIndex changed = indexOfPosition(position);
    emit dataChanged(changed, changed, {Qt::CheckStateRole});
}

void TreeModel::madeVisible(int position)
{
    if (batching_ && sincePublished_.elapsed() >= 250)
        publish();
    if (hidden(position))
        pendingVisible_ = position;
    else
        emit madeVisible(indexOfPosition(position));
}
