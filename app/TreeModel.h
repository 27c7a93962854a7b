#pragma once

#include "platform/controls/MemoryControls.h"

#include <QAbstractItemModel>
#include <QElapsedTimer>

// A Qt model over the tree store, so the window's tree view shows the very nodes the load adds:
// text, image and check box of each node. A check box the user toggles goes to the store as the
// user's toggle, which raises the node-check event.
class TreeModel : public QAbstractItemModel, private TreeObserver {
    Q_OBJECT
public:
    explicit TreeModel(MemoryTree& tree, QObject* parent = nullptr);
    ~TreeModel() override;

    QModelIndex index(int row, int column, const QModelIndex& parent = QModelIndex()) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // While a load adds thousands of nodes, the view is shown them in batches: the model
    // publishes the nodes added so far at most every few tenths of a second (and at the end),
    // so the view lays itself out a few times instead of once per node. Each publish makes the
    // last node made visible meanwhile visible in the view.
    void SetBatching(bool on);

    // Batching for as long as the object lives: on when made, off (with the last publish) when
    // destroyed, whatever ends the scope.
    class Batch {
    public:
        explicit Batch(TreeModel& model) : model_(model) { model_.SetBatching(true); }
        ~Batch() { model_.SetBatching(false); }
        Batch(const Batch&) = delete;
        Batch& operator=(const Batch&) = delete;

    private:
        TreeModel& model_;
    };

    QModelIndex indexOfPosition(int position) const;
    int positionOf(const QModelIndex& index) const;

signals:
    // A node the store made visible; the view expands its ancestors and scrolls to it.
    void madeVisible(const QModelIndex& index);
    // The nodes added in a batch were published; the view expands what the store has expanded.
    void published();
    // The store switched repainting of the tree off or on; the view stops or resumes painting.
    void redrawSwitched(bool on);

private:
    void aboutToReset() override;
    void reset() override;
    void aboutToAdd(int parent, int row) override;
    void added(int position) override;
    void checkChanged(int position) override;
    void madeVisible(int position) override;
    void redrawChanged(bool on) override { emit redrawSwitched(on); }

    void publish();
    bool hidden(int position) const { return batching_ && position > published_; }

    MemoryTree& tree_;
    bool batching_ = false;
    int published_ = 0; // while batching, nodes 1..published_ are what the view knows
    int pendingVisible_ = 0; // a node made visible while the view did not know it yet
    QElapsedTimer sincePublished_;
};
