#include "TFrmMenuOrder.h"

#include "Shell.h"

#include <QPointer>

TFrmMenuOrder::TFrmMenuOrder(QWidget* parent)
    : OrderDialog(MenuOrderTable,
                  {"菜单顺序维护", "父菜单:", "lblParentMenu", "LvMenu", "菜单编号", "菜单文字",
                   QSize(339, 280), true},
                  parent)
{
    setObjectName(QStringLiteral("FrmMenuOrder"));
}

TFrmMenuOrder* FrmMenuOrder()
{
    static QPointer<TFrmMenuOrder> instance;
    if (!instance)
        instance = new TFrmMenuOrder(Shell::Instance() ? Shell::Instance()->MainWindow() : nullptr);
    return instance;
}
