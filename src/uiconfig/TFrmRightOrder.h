#pragma once

#include "OrderDialog.h"

// "功能定义顺序维护": the order of the children of one function (or of the top-level functions).
class TFrmRightOrder : public OrderDialog
{
    Q_OBJECT
public:
    explicit TFrmRightOrder(QWidget* parent = nullptr);
};

// The one instance, made at start (or on first use) and reused.
TFrmRightOrder* FrmRightOrder();
