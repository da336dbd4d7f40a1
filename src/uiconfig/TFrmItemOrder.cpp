#include "TFrmItemOrder.h"

#include "Shell.h"

#include <QPointer>

TFrmItemOrder::TFrmItemOrder(QWidget* parent)
    : OrderDialog(
          ItemOrderTable,
          {"项目顺序维护", "主项:", "lblParentItem", "LvItem", "项目编号", "项目文字", QSize(339, 282), true},
          parent)
{
    setObjectName(QStringLiteral("FrmItemOrder"));
}

TFrmItemOrder* FrmItemOrder()
{
    static QPointer<TFrmItemOrder> instance;
    if (!instance)
        instance = new TFrmItemOrder(Shell::Instance() ? Shell::Instance()->MainWindow() : nullptr);
    return instance;
}
