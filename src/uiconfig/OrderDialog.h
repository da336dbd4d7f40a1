#pragma once

#include "SiblingOrder.h"

#include <QDialog>
#include <memory>

namespace Ui {
class OrderDialog;
}
class QLabel;
class QTableWidget;

// The order dialogs of the catalogue, menu and group-bar editors: the children
// of one parent in a report list (key, caption, order number), and ▲上移 /
// ▼下移, which exchange the stored order numbers of two neighbours.  Each is
// created once and reloaded with LoadOrderList before it is shown.
class OrderDialog : public QDialog
{
    Q_OBJECT
public:
    ~OrderDialog() override;

    // Lists the children of `parentKey` under the caption.
    void LoadOrderList(const QString& caption, const QString& parentKey);
    QString ParentKey() const { return m_parentKey; }
    QTableWidget* OrderList() const;
    QLabel* ParentLabel() const;

public slots:
    void btnMoveUpClick();
    void btnMoveDownClick();
    void btnCloseClick();

protected:
    struct Look
    {
        const char* title;
        const char* parentLabel; // "父功能:"
        const char* parentName;  // object name of the caption label
        const char* listName;    // object name of the list
        const char* keyTitle;    // first column
        const char* textTitle;   // second column
        QSize clientSize;
        bool boldCaption;
    };
    OrderDialog(const OrderedTable& table, const Look& look, QWidget* parent);

private:
    void MoveSelected(int step);
    void SetRow(int row, const OrderRow& values);
    OrderRow Row(int row) const;

    std::unique_ptr<Ui::OrderDialog> ui;
    const OrderedTable& m_table;
    QString m_parentKey;
};
