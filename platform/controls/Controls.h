#pragma once

// The shared controls: tree, status bar, progress bar, folder and file lists. Interfaces; the
// real implementation is MemoryControls, shown in the windows through Qt views.

#include <QList>
#include <QString>
#include <functional>

// The controls that the load, the main window, the report and the print options share: a tree
// with check boxes, a status bar with panels and a progress bar. These are interfaces so that
// the logic runs without a screen: the in-memory implementations (MemoryControls.h) serve the
// command-line tool and the tests, and the windows show the same tree store through a Qt model.

struct TreeNode {
    QString key;
    QString text;
    int image = 0;      // 1-based index into the tree's image list, also when selected
    bool checked = false;
    bool expanded = false;
    int parent = 0;     // position of the parent node, 0 for a top node
};

// An ordered forest of nodes with unique keys, reachable by key and by position (1 to Count,
// in the order they were added).
class TreeControl {
public:
    virtual ~TreeControl() = default;

    // Removes every node.
    virtual void Clear() = 0;
    // Adds a node as the last child of the node keyed `parentKey` (an empty key adds a top
    // node) and returns its position. Raises ProgramError 35602 when `key` is already used and
    // 35601 when the parent does not exist.
    virtual int Add(const QString& parentKey, const QString& key, const QString& text, int image) = 0;
    // Expands the node's ancestors and scrolls to it.
    virtual void EnsureVisible(int position) = 0;
    virtual int Count() const = 0;
    // The node at `position` (1 to Count). Raises ProgramError 35600 outside that range.
    virtual const TreeNode& Node(int position) const = 0;
    // Position of the node keyed `key`, or 0.
    virtual int Find(const QString& key) const = 0;
    // Positions of the children of `position` in order; 0 gives the top nodes.
    virtual QList<int> Children(int position) const = 0;
    // Sets the check box; raises no node-check event.
    virtual void SetChecked(int position, bool checked) = 0;
    // Removes the node and everything below it; later positions move down.
    virtual void Remove(int position) = 0;
    // Switches repainting off and on around bulk changes.
    virtual void SetRedraw(bool on) = 0;

    // What the user does: toggles the check box, then raises the node-check event.
    void ToggleByUser(int position);
    // The node-check event: runs after the user has toggled a node's check box.
    std::function<void(int position)> NodeCheck;
};

// A status bar of panels numbered from 1.
class StatusBarControl {
public:
    virtual ~StatusBarControl() = default;
    virtual void SetPanelText(int panel, const QString& text) = 0;
    virtual QString PanelText(int panel) const = 0;
    // Left edge and width of a panel in the window's units.
    virtual int PanelLeft(int panel) const = 0;
    virtual int PanelWidth(int panel) const = 0;
};

class ProgressBarControl {
public:
    virtual ~ProgressBarControl() = default;
    virtual void SetMin(double min) = 0;
    virtual void SetMax(double max) = 0;
    // A value outside Min..Max is accepted; the bar shows it clamped.
    virtual void SetValue(double value) = 0;
    virtual void SetVisible(bool visible) = 0;
    virtual double Min() const = 0;
    virtual double Max() const = 0;
    virtual double Value() const = 0;
    virtual bool Visible() const = 0;
};

// A hidden folder list: a current folder (Windows form) and a change signal.
class FolderList {
public:
    // Sets the folder. Raises ProgramError 76 when it does not exist or is not a folder; runs
    // Change when the path differs from the previous one (and passes on what Change raises).
    void SetPath(const QString& windowsPath);
    // The folder as set, without a trailing backslash except for a drive's root ("C:\").
    const QString& Path() const { return path_; }
    std::function<void()> Change;

private:
    QString path_;
};

// A hidden file list: the names of the files of a folder that match its pattern ignoring case,
// sorted by name ignoring case, without hidden files (names starting with "."), folders or
// devices. A file whose host name holds a backslash is not listed (joined to the folder's
// Windows path it would name another file, see HostNames::hasWindowsName); Unnamable gives it.
class FileList {
public:
    explicit FileList(QString pattern = QStringLiteral("*.vbp")) : pattern_(std::move(pattern)) {}

    // Points the list at a folder and lists it. Raises ProgramError 76 when it does not exist
    // and 75 when it exists but cannot be listed (the list is then empty).
    void SetPath(const QString& windowsPath);
    // Lists the folder again; raises as SetPath does.
    void Refresh();
    const QString& Path() const { return path_; }
    const QString& Pattern() const { return pattern_; }
    int ListCount() const { return static_cast<int>(names_.size()); }
    // Name without folder of file `index`, 0 to ListCount - 1.
    const QString& List(int index) const;
    // The host names of the matching files left out because a backslash is in them, in the
    // listing's order.
    const QStringList& Unnamable() const { return unnamable_; }

private:
    QString path_;
    QString pattern_;
    QList<QString> names_;
    QStringList unnamable_;
};

// The controls of the main window that the load works on. Dir1's change points File1 at the
// same folder, so File1 always lists the project files of the configured folder.
struct MainControls {
    MainControls(TreeControl& tree, StatusBarControl& statusBar, ProgressBarControl& progressBar);
    MainControls(const MainControls&) = delete;
    MainControls& operator=(const MainControls&) = delete;

    TreeControl& treeMain;
    StatusBarControl& stbMain;
    ProgressBarControl& pgbStatus;
    FolderList Dir1;
    FileList File1;
};
