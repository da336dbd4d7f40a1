#include "FunctionTree.h"

#include "CheckTree.h"
#include "DataAccess.h"
#include "Dialogs.h"
#include "MemDataset.h"

#include <QHash>
#include <QSet>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

namespace {

const char CatalogueQuery[] = "select * from AC_FUNCTIONINFO ORDER BY ORDERNUM";

bool CopiesDescription(FunctionTreeForm form)
{
    return form == FunctionTreeForm::UserAdmin || form == FunctionTreeForm::CatalogueEditor;
}

bool IsPublicText(const QString& text)
{
    return text.startsWith(QLatin1Char('Y'), Qt::CaseInsensitive)
        || text.startsWith(QLatin1Char('T'), Qt::CaseInsensitive);
}

TFunc RowFunc(const MemDataset& rows, int row, bool copyDesc)
{
    const auto text = [&](const char* field) {
        return rows.ValueAt(row, rows.FieldIndex(QLatin1String(field))).toString();
    };
    TFunc func;
    func.FunctionID = text("FunctionID");
    func.FunctionName = text("FunctionName");
    func.ControlName = text("ControlName");
    func.FormModal = text("FormModal");
    if (copyDesc)
        func.FunctionDesc = text("FunctionDesc");
    func.IsPublic = IsPublicText(text("IsPublic"));
    const int version = rows.FieldIndex(QStringLiteral("RowVersion"));
    if (version >= 0)
        func.RowVersion = rows.ValueAt(row, version).toLongLong();
    return func;
}

} // namespace

QString FunctionNodeCaption(const TFunc& func, FunctionTreeForm form)
{
    switch (form) {
    case FunctionTreeForm::CatalogueEditor:
        return func.FunctionName + QLatin1Char('(') + func.FunctionID + QLatin1Char(')');
    case FunctionTreeForm::MenuEditor:
    case FunctionTreeForm::GroupBarEditor:
        if (!func.ControlName.isEmpty())
            return func.FunctionName + QLatin1Char('(') + func.ControlName + QLatin1Char(')');
        return func.FunctionName;
    case FunctionTreeForm::UserAdmin:
    case FunctionTreeForm::RoleAdmin:
    case FunctionTreeForm::ToolbarEditor:
        break;
    }
    return func.FunctionName;
}

TFunc NodeFunc(const QTreeWidgetItem* item)
{
    return item ? item->data(0, FuncRole).value<TFunc>() : TFunc();
}

void SetNodeFunc(QTreeWidgetItem* item, const TFunc& func)
{
    item->setData(0, FuncRole, QVariant::fromValue(func));
    item->setData(0, CheckTree::NodeIdRole, func.FunctionID);
}

QTreeWidgetItem* FindFunctionNode(QTreeWidget* tree, const QString& id)
{
    for (QTreeWidgetItemIterator it(tree); *it; ++it) {
        if ((*it)->data(0, CheckTree::NodeIdRole).toString() == id)
            return *it;
    }
    return nullptr;
}

bool LoadFunctionTree(QTreeWidget* tree, FunctionTreeForm form)
{
    tree->clear();
    MemDataset rows;
    if (!OpenQuery(QString::fromLatin1(CatalogueQuery), rows)) {
        ShowMessage(QStringLiteral("初始化失败：") + QString::fromLatin1(CatalogueQuery), tree);
        return false;
    }
    if (rows.IsEmpty())
        return false;

    // Children of each parent key, in result (OrderNum) order.
    const int parentField = rows.FieldIndex(QStringLiteral("ParentFunctionID"));
    QHash<QString, QVector<int>> children;
    for (int row = 0; row < rows.RecordCount(); ++row)
        children[rows.ValueAt(row, parentField).toString()].append(row);

    // Depth-first, each function at most once: a stored cycle or a function
    // numbered "-1" cannot make the descent endless.
    const bool copyDesc = CopiesDescription(form);
    QSet<QString> placed;
    struct Pending { QString parentKey; QTreeWidgetItem* parentNode; };
    QVector<Pending> stack{{QStringLiteral("-1"), nullptr}};
    tree->setUpdatesEnabled(false);
    while (!stack.isEmpty()) {
        const Pending next = stack.takeLast();
        QVector<Pending> below;
        for (const int row : children.value(next.parentKey)) {
            const TFunc func = RowFunc(rows, row, copyDesc);
            if (placed.contains(func.FunctionID))
                continue;
            placed.insert(func.FunctionID);
            auto* node = next.parentNode ? new QTreeWidgetItem(next.parentNode) : new QTreeWidgetItem(tree);
            node->setText(0, FunctionNodeCaption(func, form));
            SetNodeFunc(node, func);
            below.append({func.FunctionID, node});
        }
        // Reversed so that the first sibling's subtree is built first.
        for (auto it = below.crbegin(); it != below.crend(); ++it)
            stack.append(*it);
    }
    tree->expandAll();
    tree->setUpdatesEnabled(true);
    return true;
}
