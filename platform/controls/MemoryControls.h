#pragma once

// The in-memory implementation of the shared controls, which zantrel-cli and the tests use
// directly and the windows show through Qt views.

#include "platform/controls/Controls.h"

#include <QHash>
#include <vector>

// Told of every change of a MemoryTree, so that a view over it can follow.
class TreeObserver {
public:
    virtual ~TreeObserver() = default;
    virtual void aboutToReset() {}
    virtual void reset() {}
    virtual void aboutToAdd(int /*parent*/, int /*row*/) {}
    virtual void added(int /*position*/) {}
    virtual void checkChanged(int /*position*/) {}
    virtual void madeVisible(int /*position*/) {}
    // Repainting of the tree was switched off (a batch of removals follows) or on again.
    virtual void redrawChanged(bool /*on*/) {}
};

// The tree store: nodes in insertion order, a key index and the children of each node. The
// command-line tool and the tests use it directly; the main window shows it through a model.
class MemoryTree : public TreeControl {
public:
    void Clear() override;
    int Add(const QString& parentKey, const QString& key, const QString& text, int image) override;
    void EnsureVisible(int position) override;
    int Count() const override { return static_cast<int>(nodes_.size()); }
    const TreeNode& Node(int position) const override;
    int Find(const QString& key) const override { return byKey_.value(key, 0); }
    QList<int> Children(int position) const override;
    void SetChecked(int position, bool checked) override;
    void Remove(int position) override;
    void SetRedraw(bool on) override;

    bool Redraw() const { return redraw_; }
    // Number of children of `position` (0: the top nodes), and the one at `row`; cheap, for views.
    int ChildCount(int position) const;
    int ChildAt(int position, int row) const;
    // How many children of `position` were added among the first `nodes` nodes.
    int ChildCountAmongFirst(int position, int nodes) const;
    // Row of `position` among its parent's children.
    int RowOf(int position) const;
    // The observer is not owned; null detaches it.
    void SetObserver(TreeObserver* observer) { observer_ = observer; }

private:
    void checkPosition(int position) const;

    std::vector<TreeNode> nodes_;             // position p is nodes_[p - 1]
    std::vector<std::vector<int>> children_;  // children_[p] for p = 0 (top) .. Count
    std::vector<int> rows_;                   // rows_[p - 1]: row among its parent's children
    QHash<QString, int> byKey_;
    bool redraw_ = true;
    TreeObserver* observer_ = nullptr;
};

class MemoryStatusBar : public StatusBarControl {
public:
    explicit MemoryStatusBar(int panels = 3) : texts_(panels) {}
    void SetPanelText(int panel, const QString& text) override;
    QString PanelText(int panel) const override;
    int PanelLeft(int panel) const override;
    int PanelWidth(int panel) const override;

    // Runs after every text change, with the panel and its new text.
    std::function<void(int panel, const QString& text)> Changed;

private:
    QList<QString> texts_;
};

class MemoryProgressBar : public ProgressBarControl {
public:
    void SetMin(double min) override { min_ = min; }
    void SetMax(double max) override { max_ = max; }
    void SetValue(double value) override { value_ = value; }
    void SetVisible(bool visible) override { visible_ = visible; }
    double Min() const override { return min_; }
    double Max() const override { return max_; }
    double Value() const override { return value_; }
    bool Visible() const override { return visible_; }

private:
    double min_ = 0, max_ = 100, value_ = 0;
    bool visible_ = false;
};

// All the main window's controls in memory, for the command-line tool and the tests.
struct MemoryControls {
    MemoryTree tree;
    MemoryStatusBar statusBar;
    MemoryProgressBar progressBar;
    MainControls main{tree, statusBar, progressBar};
};
