#pragma once

#include "OrderDialog.h"

// "菜单顺序维护": the order of the children of one menu (or of the top-level menus).
class TFrmMenuOrder : public OrderDialog
{
    Q_OBJECT
public:
    explicit TFrmMenuOrder(QWidget* parent = nullptr);
};

// The one instance, made at start (or on first use) and reused.
TFrmMenuOrder* FrmMenuOrder();
