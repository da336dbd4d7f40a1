#pragma once

#include <QDialog>
#include <memory>

namespace Ui {
class ChangeHistoryDialog;
}
class QStandardItemModel;

// "修改记录": the change log of one record, newest first, one line per
// changed field: time, user, desk, the field by its caption, old → new.
class ChangeHistoryDialog : public QDialog
{
    Q_OBJECT
public:
    explicit ChangeHistoryDialog(QWidget* parent = nullptr);
    ~ChangeHistoryDialog() override;

    // Reads the record's log; false with the message shown on failure.
    bool Load(const QString& table, const QString& key, const QString& title);
    QStandardItemModel* Lines() const { return m_model; }

    // Opens the dialog on one record (modal).
    static void Show(QWidget* parent, const QString& table, const QString& key, const QString& title);

private:
    std::unique_ptr<Ui::ChangeHistoryDialog> m_ui;
    QStandardItemModel* m_model;
};
