#pragma once

#include "OrderDialog.h"

// "项目顺序维护": the order of the main items, or of the sub-items of one main item.
class TFrmItemOrder : public OrderDialog
{
    Q_OBJECT
public:
    explicit TFrmItemOrder(QWidget* parent = nullptr);
};

// The one instance, made at start (or on first use) and reused.
TFrmItemOrder* FrmItemOrder();
