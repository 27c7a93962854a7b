#pragma once

#include "platform/MemoryControls.h"

#include <QAbstractItemModel>

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

    QModelIndex indexOfPosition(int position) const;
    int positionOf(const QModelIndex& index) const;

signals:
    // A node the store made visible; the view expands its ancestors and scrolls to it.
    void madeVisible(const QModelIndex& index);

private:
    void aboutToReset() override;
    void reset() override;
    void aboutToAdd(int parent, int row) override;
    void added(int position) override;
    void checkChanged(int position) override;
    void madeVisible(int position) override;

    MemoryTree& tree_;
};
