#pragma once

#include <QTreeWidget>

// A tree with a three-state check box on every node, used to grant functions
// to users and roles.  A user's click on a box (or Space on the current node)
// toggles that node: checked becomes unchecked, unchecked or partly checked
// becomes checked.  The new state goes to all descendants, then each ancestor
// is recomputed from its children: partly checked when a child is partly
// checked or checked and unchecked children are mixed, otherwise checked when
// a child is checked, unchecked when none is.  States set by the program
// (setCheckState, CheckTreeNodeByID) are not propagated.
//
// Nodes get a check box by themselves when they are added.  The node's
// identifier (a function identifier) is kept in column 0 under NodeIdRole.
class CheckTree : public QTreeWidget
{
    Q_OBJECT
public:
    static constexpr int NodeIdRole = Qt::UserRole + 1;

    explicit CheckTree(QWidget* parent = nullptr);

    // The state as the original numbers it: 0 no box, 1 unchecked, 2 checked,
    // 3 partly checked.
    static int StateIndex(const QTreeWidgetItem* item);
    // Toggles a node the way a click does, with propagation.
    void ToggleNode(QTreeWidgetItem* item);
    // Every node, at every depth, unchecked (no propagation needed).
    void UncheckAll();
    // A read-only tree can still be scrolled, expanded and browsed; only its
    // check boxes ignore the user.
    void SetChecksReadOnly(bool readOnly) { m_checksReadOnly = readOnly; }
    bool ChecksReadOnly() const { return m_checksReadOnly; }

signals:
    // A node was toggled by the user (after propagation).
    void nodeToggled(QTreeWidgetItem* item);

private:
    friend class CheckTreeDelegate;
    void Propagate(QTreeWidgetItem* item);
    void PrepareNodes(const QModelIndex& parent, int first, int last);

    bool m_checksReadOnly = false;
};

// Finds the first node, in tree order, whose identifier (NodeIdRole) equals
// id; checks it and all its descendants and marks every ancestor partly
// checked.  Nothing happens when no node has that identifier.
void CheckTreeNodeByID(const QString& id, QTreeWidget* tree);
