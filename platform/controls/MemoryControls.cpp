#include "platform/controls/MemoryControls.h"

#include "platform/core/ProgramError.h"

#include <algorithm>

void MemoryTree::Clear()
{
    if (observer_)
        observer_->aboutToReset();
    nodes_.clear();
    children_.clear();
    rows_.clear();
    byKey_.clear();
    if (observer_)
        observer_->reset();
}

int MemoryTree::Add(const QString& parentKey, const QString& key, const QString& text, int image)
{
    int parent = 0;
    if (!parentKey.isEmpty()) {
        parent = Find(parentKey);
        if (parent == 0)
            RaiseStandardError(ErrorNumbers::ElementNotFound);
    }
    if (byKey_.contains(key))
        RaiseStandardError(ErrorNumbers::KeyNotUnique);
    if (children_.empty())
        children_.emplace_back();

    const int row = static_cast<int>(children_[parent].size());
    if (observer_)
        observer_->aboutToAdd(parent, row);
    nodes_.push_back(TreeNode{key, text, image, false, false, parent});
    const int position = Count();
    children_.emplace_back();
    children_[parent].push_back(position);
    rows_.push_back(row);
    byKey_.insert(key, position);
    if (observer_)
        observer_->added(position);
    return position;
}

void MemoryTree::EnsureVisible(int position)
{
    checkPosition(position);
    for (int p = nodes_[position - 1].parent; p != 0; p = nodes_[p - 1].parent)
        nodes_[p - 1].expanded = true;
    if (observer_)
        observer_->madeVisible(position);
}

const TreeNode& MemoryTree::Node(int position) const
{
    checkPosition(position);
    return nodes_[position - 1];
}

QList<int> MemoryTree::Children(int position) const
{
    if (position != 0)
        checkPosition(position);
    if (children_.empty())
        return {};
    const auto& list = children_[position];
    return QList<int>(list.begin(), list.end());
}

int MemoryTree::ChildCount(int position) const
{
    if (children_.empty() || position < 0 || position > Count())
        return 0;
    return static_cast<int>(children_[position].size());
}

int MemoryTree::ChildAt(int position, int row) const
{
    if (row < 0 || row >= ChildCount(position))
        return 0;
    return children_[position][row];
}

int MemoryTree::ChildCountAmongFirst(int position, int nodes) const
{
    if (children_.empty() || position < 0 || position > Count())
        return 0;
    // Children are kept in the order they were added, so their positions ascend.
    const auto& list = children_[position];
    return static_cast<int>(std::upper_bound(list.begin(), list.end(), nodes) - list.begin());
}

int MemoryTree::RowOf(int position) const
{
    checkPosition(position);
    return rows_[position - 1];
}

void MemoryTree::SetChecked(int position, bool checked)
{
    checkPosition(position);
    if (nodes_[position - 1].checked == checked)
        return;
    nodes_[position - 1].checked = checked;
    if (observer_)
        observer_->checkChanged(position);
}

void MemoryTree::Remove(int position)
{
    checkPosition(position);
    // Mark the subtree, then rebuild the store without it: positions after it move down.
    std::vector<bool> removed(nodes_.size() + 1, false);
    std::vector<int> pending{position};
    while (!pending.empty()) {
        const int p = pending.back();
        pending.pop_back();
        removed[p] = true;
        pending.insert(pending.end(), children_[p].begin(), children_[p].end());
    }
    std::vector<TreeNode> old = std::move(nodes_);
    if (observer_)
        observer_->aboutToReset();
    nodes_.clear();
    children_.assign(1, {});
    rows_.clear();
    byKey_.clear();
    std::vector<int> newPosition(old.size() + 1, 0);
    for (std::size_t i = 0; i < old.size(); ++i) {
        const int p = static_cast<int>(i) + 1;
        if (removed[p])
            continue;
        TreeNode node = old[i];
        node.parent = newPosition[node.parent];
        nodes_.push_back(node);
        const int np = Count();
        newPosition[p] = np;
        children_.emplace_back();
        rows_.push_back(static_cast<int>(children_[node.parent].size()));
        children_[node.parent].push_back(np);
        byKey_.insert(node.key, np);
    }
    if (observer_)
        observer_->reset();
}

void MemoryTree::checkPosition(int position) const
{
    if (position < 1 || position > Count())
        RaiseStandardError(ErrorNumbers::IndexOutOfBounds);
}

void MemoryStatusBar::SetPanelText(int panel, const QString& text)
{
    if (panel < 1 || panel > texts_.size())
        RaiseStandardError(ErrorNumbers::IndexOutOfBounds);
    texts_[panel - 1] = text;
    if (Changed)
        Changed(panel, text);
}

QString MemoryStatusBar::PanelText(int panel) const
{
    if (panel < 1 || panel > texts_.size())
        RaiseStandardError(ErrorNumbers::IndexOutOfBounds);
    return texts_[panel - 1];
}

// Panels of an in-memory bar are laid out 100 units wide each, side by side.
int MemoryStatusBar::PanelLeft(int panel) const
{
    return (panel - 1) * 100;
}

int MemoryStatusBar::PanelWidth(int) const
{
    return 100;
}

void MemoryTree::SetRedraw(bool on)
{
    redraw_ = on;
    if (observer_)
        observer_->redrawChanged(on);
}
