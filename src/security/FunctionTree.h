#pragma once

#include <QMetaType>
#include <QString>

class QTreeWidget;
class QTreeWidgetItem;

// The record every node of a function tree carries: one AC_FUNCTIONINFO row.
// Nodes hold it by value (see NodeFunc), so it goes away with its node.
struct TFunc
{
    QString FunctionID;
    QString FunctionName;
    QString ControlName;
    QString FormModal;
    QString FunctionDesc; // empty where the form does not copy it
    bool IsPublic = false;
    qint64 RowVersion = 1; // as read; see VersionedRow
};
Q_DECLARE_METATYPE(TFunc)

// The forms that show the catalogue; each has its own node caption and says
// whether the description is copied into the nodes' records.
enum class FunctionTreeForm {
    UserAdmin,        // FunctionName, description copied
    RoleAdmin,        // FunctionName
    CatalogueEditor,  // FunctionName(FunctionID), description copied
    MenuEditor,       // FunctionName(ControlName) when ControlName is set
    GroupBarEditor,   // as the menu editor
    ToolbarEditor,    // FunctionName
};

// The data role under which a node keeps its TFunc.  The function identifier
// is also kept under CheckTree::NodeIdRole, so CheckTreeNodeByID finds it.
constexpr int FuncRole = Qt::UserRole + 2;

// Fills `tree` with the whole catalogue: siblings in OrderNum order, fully
// expanded, each function once.  Rows whose chain of parents does not lead to
// "-1" are not shown; a cycle in the stored parents is walked once.  A failed
// read shows "初始化失败：" + the statement and leaves the tree empty.
// Returns true when the catalogue was read and was not empty.
bool LoadFunctionTree(QTreeWidget* tree, FunctionTreeForm form);

// The caption a node of `func` gets in `form`'s tree.
QString FunctionNodeCaption(const TFunc& func, FunctionTreeForm form);

// The record of a node (an empty TFunc for a node without one, or null).
TFunc NodeFunc(const QTreeWidgetItem* item);
void SetNodeFunc(QTreeWidgetItem* item, const TFunc& func);

// The node whose FunctionID is `id`, searched in tree order; null if none.
QTreeWidgetItem* FindFunctionNode(QTreeWidget* tree, const QString& id);
