#include "TFrmChangeLog.h"
#include "ui_TFrmChangeLog.h"

#include "ChangeHistoryDialog.h"
#include "ChangeLog.h"
#include "ChangeLogCaptions.h"
#include "ChangeLogModel.h"
#include "Dialogs.h"
#include "SessionRights.h"
#include "SqlConnection.h"

#include <QDir>
#include <QHeaderView>
#include <QKeyEvent>
#include <QProgressDialog>

TFrmChangeLog::TFrmChangeLog(QWidget* parent) : TDefForm(parent), m_ui(std::make_unique<Ui::TFrmChangeLog>())
{
    m_ui->setupUi(this);
    m_model = new ChangeLogModel(this);
    QTableView* grid = m_ui->GridMain;
    grid->setModel(m_model);
    grid->horizontalHeader()->setHighlightSections(false);
    grid->horizontalHeader()->setStretchLastSection(true);
    grid->verticalHeader()->setVisible(false);
    grid->verticalHeader()->setDefaultSectionSize(grid->fontMetrics().height() + 6);
    const int timeWidth = grid->fontMetrics().horizontalAdvance(QStringLiteral("0000-00-00 00:00:00")) + 12;
    grid->setColumnWidth(ChangeLogModel::ColTime, timeWidth);
    grid->setColumnWidth(ChangeLogModel::ColUser, 70);
    grid->setColumnWidth(ChangeLogModel::ColDesk, 100);
    grid->setColumnWidth(ChangeLogModel::ColTable, 80);
    grid->setColumnWidth(ChangeLogModel::ColKey, 70);
    grid->setColumnWidth(ChangeLogModel::ColAction, 50);

    const QDate today = QDate::currentDate();
    m_ui->DateFrom->setDate(today.addMonths(-1));
    m_ui->DateTo->setDate(today);
    // A whole date, whatever the font.
    const int dateWidth = m_ui->DateFrom->fontMetrics().horizontalAdvance(QStringLiteral("0000-00-00")) + 40;
    m_ui->DateFrom->setMinimumWidth(dateWidth);
    m_ui->DateTo->setMinimumWidth(dateWidth);
    m_ui->CmbUser->setAccessibleName(QStringLiteral("用户"));
    m_ui->CmbTable->setAccessibleName(QStringLiteral("数据表"));
    m_ui->CmbAction->setAccessibleName(QStringLiteral("操作"));
    m_ui->EditKey->setAccessibleName(QStringLiteral("记录号"));
    m_ui->SpinYears->setAccessibleName(QStringLiteral("清理早于（年）"));
    FillChoices();

    m_mayRestore = SessionRights::IsGranted(QString::fromLatin1(RestoreRight));
    m_ui->BtnPurge->setEnabled(m_mayRestore);
    m_ui->SpinYears->setEnabled(m_mayRestore);

    connect(m_ui->ChkDate, &QCheckBox::toggled, m_ui->DateFrom, &QWidget::setEnabled);
    connect(m_ui->ChkDate, &QCheckBox::toggled, m_ui->DateTo, &QWidget::setEnabled);
    connect(m_ui->BtnSearch, &QPushButton::clicked, this, &TFrmChangeLog::BtnSearchClick);
    connect(m_ui->EditKey, &QLineEdit::returnPressed, this, &TFrmChangeLog::BtnSearchClick);
    connect(m_ui->BtnRestore, &QPushButton::clicked, this, &TFrmChangeLog::BtnRestoreClick);
    connect(m_ui->BtnPurge, &QPushButton::clicked, this, &TFrmChangeLog::BtnPurgeClick);
    connect(m_ui->BtnExport, &QPushButton::clicked, this, &TFrmChangeLog::BtnExportClick);
    connect(m_ui->BtnClose, &QPushButton::clicked, this, &TFrmChangeLog::BtnCloseClick);
    connect(grid, &QTableView::doubleClicked, this, &TFrmChangeLog::GridMainDblClick);
    connect(grid->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &TFrmChangeLog::UpdateButtons);
    connect(m_model, &ChangeLogModel::fetchFailed, this, [this](const QString& error) {
        ShowError(QStringLiteral("读取修改记录失败：") + error, QString(), this);
    });
    connect(m_model, &QAbstractItemModel::rowsInserted, this, [this] {
        m_ui->sb1->showMessage(QStringLiteral("已列出 %1 条修改记录").arg(m_model->rowCount()));
    });
    BtnSearchClick();
}

TFrmChangeLog::~TFrmChangeLog() = default;

void TFrmChangeLog::FillChoices()
{
    m_ui->CmbUser->addItem(QString());
    SqlStatement users(CurrentConnection(), QStringLiteral("select UserID from AC_USERINFO order by UserID"));
    while (users.Step())
        m_ui->CmbUser->addItem(users.ColumnValue(0).toString());
    m_ui->CmbTable->addItem(QStringLiteral("全部"), QString());
    for (const QString& table : ChangeLogCaptions::Tables())
        m_ui->CmbTable->addItem(ChangeLogCaptions::TableCaption(table), table);
    m_ui->CmbAction->addItem(QStringLiteral("全部"), QString());
    for (const QString& action : {ChangeLog::Inserted, ChangeLog::Updated, ChangeLog::Deleted,
                                  ChangeLog::Restored, ChangeLog::Purged})
        m_ui->CmbAction->addItem(action, action);
}

int TFrmChangeLog::CurrentRow() const
{
    const QModelIndex current = m_ui->GridMain->currentIndex();
    return current.isValid() ? current.row() : -1;
}

void TFrmChangeLog::UpdateButtons()
{
    const int row = CurrentRow();
    const ChangeLog::Table* table = ChangeLog::FindTable(m_model->Table(row));
    m_ui->BtnRestore->setEnabled(m_mayRestore && row >= 0 && table && table->restorable &&
                                 m_model->Action(row) == ChangeLog::Deleted);
}

void TFrmChangeLog::BtnSearchClick()
{
    ChangeLogModel::Filter filter;
    if (m_ui->ChkDate->isChecked()) {
        filter.from = m_ui->DateFrom->date();
        filter.to = m_ui->DateTo->date();
    }
    // "ADMIN-系统管理员" and "ADMIN" both mean the code.
    filter.userID = m_ui->CmbUser->currentText().section('-', 0, 0).trimmed();
    filter.table = m_ui->CmbTable->currentData().toString();
    filter.action = m_ui->CmbAction->currentData().toString();
    filter.key = m_ui->EditKey->text().trimmed();
    QString error;
    if (!m_model->Load(filter, &error))
        ShowError(QStringLiteral("读取修改记录失败：") + error, QString(), this);
    m_ui->sb1->showMessage(m_model->AllFetched()
                               ? QStringLiteral("共 %1 条修改记录").arg(m_model->rowCount())
                               : QStringLiteral("已列出 %1 条修改记录").arg(m_model->rowCount()));
    UpdateButtons();
}

void TFrmChangeLog::BtnRestoreClick()
{
    const int row = CurrentRow();
    if (!m_mayRestore || row < 0 || m_model->Action(row) != ChangeLog::Deleted)
        return;
    const QString oldKey = m_model->Text(row, ChangeLogModel::ColKey);
    const QString question = QStringLiteral("确定要恢复已删除的%1（记录号 %2）吗？")
                                 .arg(ChangeLogCaptions::TableCaption(m_model->Table(row)), oldKey);
    if (Dialogs::Instance().Ask(this, {question, QStringLiteral("恢复记录"), Dialogs::Icon::Question},
                                Dialogs::Yes | Dialogs::No, Dialogs::No) != Dialogs::Yes)
        return;
    qint64 key = 0;
    QString error;
    if (!ChangeLog::RestoreDeleted(*CurrentConnection(), m_model->LogID(row), &key, &error)) {
        ShowError(QStringLiteral("恢复失败，数据没有改变：") + error, QString(), this);
        return;
    }
    if (QString::number(key) == oldKey)
        ShowMessage(QStringLiteral("记录已恢复，记录号 %1。").arg(key), this);
    else
        ShowMessage(
            QStringLiteral("原记录号 %1 已被其他记录使用，记录已恢复为新记录号 %2。").arg(oldKey).arg(key),
            this);
    BtnSearchClick();
}

void TFrmChangeLog::BtnPurgeClick()
{
    if (!m_mayRestore)
        return;
    const int years = m_ui->SpinYears->value();
    const QString question =
        QStringLiteral(
            "确定要清理 %1 年以前的修改记录吗？\n清理后这些记录无法再查看，也不能再据此恢复已删除的记录。")
            .arg(years);
    if (Dialogs::Instance().Ask(this, {question, QStringLiteral("清理修改记录"), Dialogs::Icon::Question},
                                Dialogs::Yes | Dialogs::No, Dialogs::No) != Dialogs::Yes)
        return;
    qint64 removed = 0;
    QString error;
    if (!ChangeLog::Purge(*CurrentConnection(), years, &removed, &error)) {
        ShowError(QStringLiteral("清理失败，数据没有改变：") + error, QString(), this);
        return;
    }
    ShowMessage(QStringLiteral("已清理 %1 条修改记录。").arg(removed), this);
    BtnSearchClick();
}

void TFrmChangeLog::BtnExportClick()
{
    Dialogs::FileRequest request;
    request.title = QStringLiteral("导出到Excel");
    request.filter = QStringLiteral("Excel文件|*.xlsx|所有文件|*.*");
    request.defaultSuffix = QStringLiteral("xlsx");
    const QString file = Dialogs::Instance().SaveFileName(this, request);
    if (file.isEmpty())
        return;
    QProgressDialog progress(QStringLiteral("正在导出修改记录……"), QStringLiteral("取消"), 0, 0, this);
    progress.setObjectName(QStringLiteral("dlgExportProgress"));
    progress.setWindowTitle(QStringLiteral("请稍候"));
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(300);
    qint64 written = 0;
    QString error;
    const bool done = ChangeLogModel::Write(
        m_model->CurrentFilter(), file,
        [&progress](qint64 rows) {
            progress.setLabelText(QStringLiteral("正在导出修改记录：%1 条").arg(rows));
            progress.setValue(0);
            return !progress.wasCanceled();
        },
        &written, &error);
    progress.close();
    if (done)
        ShowMessage(
            QStringLiteral("已导出 %1 条修改记录到：\n%2").arg(written).arg(QDir::toNativeSeparators(file)),
            this);
    else if (error.isEmpty())
        ShowMessage(QStringLiteral("导出已取消，没有生成文件。"), this);
    else
        ShowMessage(QStringLiteral("导出失败，没有生成文件：\n") + error, this);
}

void TFrmChangeLog::BtnCloseClick()
{
    CloseChild();
}

void TFrmChangeLog::GridMainDblClick()
{
    const int row = CurrentRow();
    const QString key = m_model->Text(row, ChangeLogModel::ColKey);
    const QString table = m_model->Table(row);
    if (row < 0 || key.isEmpty() || !ChangeLog::FindTable(table))
        return;
    ChangeHistoryDialog::Show(
        this, table, key,
        QStringLiteral("%1 %2 的修改记录（最新的在前）").arg(ChangeLogCaptions::TableCaption(table), key));
}

bool TFrmChangeLog::FormKeyDown(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        BtnCloseClick();
        return true;
    }
    return TDefForm::FormKeyDown(event);
}
