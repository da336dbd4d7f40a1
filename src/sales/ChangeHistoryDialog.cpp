#include "ChangeHistoryDialog.h"
#include "ui_ChangeHistoryDialog.h"

#include "ChangeLog.h"
#include "ChangeLogCaptions.h"
#include "Dialogs.h"
#include "SqlConnection.h"

#include <QHeaderView>
#include <QStandardItemModel>

ChangeHistoryDialog::ChangeHistoryDialog(QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::ChangeHistoryDialog>()),
      m_model(new QStandardItemModel(this))
{
    m_ui->setupUi(this);
    m_model->setHorizontalHeaderLabels({QStringLiteral("时间"), QStringLiteral("用户"),
                                        QStringLiteral("电脑"), QStringLiteral("操作"),
                                        QStringLiteral("字段"), QStringLiteral("原值 → 新值")});
    QTableView* grid = m_ui->GridHistory;
    grid->setModel(m_model);
    grid->verticalHeader()->setVisible(false);
    grid->horizontalHeader()->setStretchLastSection(true);
    grid->setColumnWidth(0,
                         grid->fontMetrics().horizontalAdvance(QStringLiteral("0000-00-00 00:00:00")) + 12);
    connect(m_ui->BtnClose, &QPushButton::clicked, this, &QDialog::accept);
}

ChangeHistoryDialog::~ChangeHistoryDialog() = default;

bool ChangeHistoryDialog::Load(const QString& table, const QString& key, const QString& title)
{
    m_ui->LabelTitle->setText(title);
    m_model->removeRows(0, m_model->rowCount());
    QVector<ChangeLog::Entry> entries;
    QString error;
    if (!ChangeLog::History(*CurrentConnection(), table, key, &entries, &error)) {
        ShowError(QStringLiteral("读取修改记录失败：") + error, QStringLiteral("错误"), this);
        return false;
    }
    const auto add = [this](const ChangeLog::Entry& entry, const QString& field, const QString& change) {
        QList<QStandardItem*> cells;
        for (const QString& text : {entry.time, entry.userID, entry.desk, entry.action, field, change})
            cells << new QStandardItem(text);
        m_model->appendRow(cells);
    };
    for (const ChangeLog::Entry& entry : entries) {
        if (entry.action != ChangeLog::Updated) {
            // A whole row: what it held when it was added, brought back or deleted.
            add(entry, QString(), ChangeLogCaptions::Summary(entry.table, entry.action, entry.fields));
            continue;
        }
        for (const ChangeLog::Field& field : entry.fields)
            add(entry, ChangeLogCaptions::FieldCaption(entry.table, field.name),
                ChangeLogCaptions::ValueText(field.oldValue) + QStringLiteral(" → ") +
                    ChangeLogCaptions::ValueText(field.newValue));
    }
    if (entries.isEmpty())
        m_ui->LabelTitle->setText(title + QStringLiteral("（没有修改记录）"));
    return true;
}

void ChangeHistoryDialog::Show(QWidget* parent, const QString& table, const QString& key,
                               const QString& title)
{
    ChangeHistoryDialog dialog(parent);
    if (dialog.Load(table, key, title))
        dialog.exec();
}
