#include "TFrmRightOrder.h"

#include "Shell.h"

#include <QPointer>

TFrmRightOrder::TFrmRightOrder(QWidget* parent)
    : OrderDialog(FunctionOrderTable,
                  {"功能定义顺序维护", "父功能:", "lblParentFunc", "LvFunc", "功能编号", "功能名称",
                   QSize(343, 280), false},
                  parent)
{
    setObjectName(QStringLiteral("FrmRightOrder"));
}

TFrmRightOrder* FrmRightOrder()
{
    static QPointer<TFrmRightOrder> instance;
    if (!instance)
        instance = new TFrmRightOrder(Shell::Instance() ? Shell::Instance()->MainWindow() : nullptr);
    return instance;
}
