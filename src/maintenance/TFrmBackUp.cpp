#include "TFrmBackUp.h"
#include "ui_TFrmBackUp.h"

#include "AppDir.h"
#include "BackupCopy.h"
#include "BackupFolder.h"
#include "BackupStatus.h"
#include "DatabaseLock.h"
#include "Dialogs.h"
#include "IconList.h"
#include "PgBackup.h"
#include "PgTools.h"
#include "RestoredSession.h"
#include "Settings.h"
#include "TDataM.h"
#include "TWaitForm.h"
#include "WaitPas.h"

#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QShortcut>
#include <QShowEvent>
#include <QStyle>

namespace {

enum Column { NameColumn, TypeColumn, SizeColumn, DateColumn };
constexpr int BytesRole = Qt::UserRole;

// The size column orders by bytes: "9 KB" before "10 KB", KB before MB.
class SizeItem : public QTableWidgetItem
{
public:
    using QTableWidgetItem::QTableWidgetItem;
    bool operator<(const QTableWidgetItem& other) const override
    {
        return data(BytesRole).toLongLong() < other.data(BytesRole).toLongLong();
    }
};

std::pair<IconList::Index, QString> KindLook(BackupFolder::Kind kind)
{
    switch (kind) {
    case BackupFolder::Kind::Archive:
        return {IconList::Compress, QStringLiteral("压缩文档")};
    case BackupFolder::Kind::Plain:
        return {IconList::Database, QStringLiteral("备份文档")};
    case BackupFolder::Kind::Server:
        break;
    }
    return {IconList::Computer, QStringLiteral("服务器备份")};
}

// On a server the client programs must be there before anything starts; the
// user is told which package brings them.
bool ServerToolsReady(QWidget* parent)
{
    if (!Settings::DatabaseIsServer())
        return true;
    const QString missing = PgBackup::MissingTools(Settings::DatabaseServer());
    if (missing.isEmpty())
        return true;
    Dialogs::Instance().Inform(parent, {missing, QStringLiteral("提示"), Dialogs::Icon::Warning});
    return false;
}

} // namespace

TFrmBackUp::TFrmBackUp(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      ui(std::make_unique<Ui::TFrmBackUp>())
{
    ui->setupUi(this);
    setFixedSize(475, 236);
    QTableWidget* list = ui->Lv1;
    list->setAccessibleName(QStringLiteral("备份文件"));
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->setWordWrap(false);
    list->setIconSize(QSize(16, 16));
    list->verticalHeader()->hide();
    list->verticalHeader()->setDefaultSectionSize(20);
    list->horizontalHeader()->setHighlightSections(false);
    list->horizontalHeader()->setSectionsClickable(true);
    // The widths suit a small Windows font; with a wider font the columns
    // grow to show their whole text, and the dialog with them.
    const QFontMetrics metrics(list->font());
    // A server's backups have longer names and their own type text.
    const bool server = Settings::DatabaseIsServer();
    const QString longestName = server ? QStringLiteral("0000-00-00-00-00-00-auto.pgdump")
                                       : QStringLiteral("0000-00-00-00-00-00-auto.Jbk");
    const QString longestType = server ? KindLook(BackupFolder::Kind::Server).second : QStringLiteral("压缩文档");
    const int widths[] = {std::max(170, metrics.horizontalAdvance(longestName) + 30),
                          std::max(64, metrics.horizontalAdvance(longestType) + 12),
                          std::max(64, metrics.horizontalAdvance("1023.00 MB") + 12),
                          std::max(128, metrics.horizontalAdvance("0000-00-00,00:00:00") + 12)};
    int needed = 2 * list->frameWidth() + style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 2;
    for (int c = 0; c < 4; ++c) {
        list->setColumnWidth(c, widths[c]);
        needed += widths[c];
    }
    const int extra = std::max(0, needed - list->width());
    if (extra > 0) {
        list->resize(list->width() + extra, list->height());
        for (QPushButton* button : {ui->btnBackup, ui->btnReduce, ui->btnDelete, ui->btnReload, ui->btnClose})
            button->move(button->x() + extra, button->y());
        setFixedSize(475 + extra, 236);
    }
    connect(list->horizontalHeader(), &QHeaderView::sectionClicked, this, &TFrmBackUp::Lv1ColumnClick);

    connect(ui->btnBackup, &QPushButton::clicked, this, &TFrmBackUp::btnBackupClick);
    connect(ui->btnReduce, &QPushButton::clicked, this, &TFrmBackUp::btnReduceClick);
    connect(ui->btnDelete, &QPushButton::clicked, this, &TFrmBackUp::btnDeleteClick);
    connect(ui->btnReload, &QPushButton::clicked, this, &TFrmBackUp::btnReloadClick);
    connect(ui->btnClose, &QPushButton::clicked, this, &QDialog::reject);
    connect(ui->btnSaveTo, &QPushButton::clicked, this, &TFrmBackUp::btnSaveToClick);
    connect(ui->btnRestoreFrom, &QPushButton::clicked, this, &TFrmBackUp::btnRestoreFromClick);
    auto* f5 = new QShortcut(QKeySequence(Qt::Key_F5), this);
    f5->setContext(Qt::WindowShortcut);
    connect(f5, &QShortcut::activated, this, &TFrmBackUp::btnReloadClick);
    for (QPushButton* button : {ui->btnBackup, ui->btnReduce, ui->btnDelete, ui->btnReload, ui->btnClose,
                                ui->btnSaveTo, ui->btnRestoreFrom})
        button->setAutoDefault(false);
    UpdateList();
}

TFrmBackUp::~TFrmBackUp() = default;

void TFrmBackUp::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        ReadSettings();
}

void TFrmBackUp::ReadSettings()
{
    m_compressBackup = Settings::BackUpCompressed();
    m_compressLevel = Settings::BackUpLevel();
}

void TFrmBackUp::UpdateList()
{
    QTableWidget* list = ui->Lv1;
    list->setSortingEnabled(false);
    list->clearContents();
    const QList<BackupFolder::Entry> entries = BackupFolder::List(BackupFolder::Path());
    list->setRowCount(int(entries.size()));
    int row = 0;
    for (const BackupFolder::Entry& entry : entries) {
        const auto [icon, typeText] = KindLook(entry.kind);
        auto* name = new QTableWidgetItem(IconList::Icon(icon), entry.fileName);
        auto* type = new QTableWidgetItem(typeText);
        auto* size = new SizeItem(BackupFolder::SizeText(entry.size));
        size->setData(BytesRole, entry.size);
        auto* date = new QTableWidgetItem(BackupFolder::DateText(entry.lastWrite));
        for (QTableWidgetItem* item : {type, static_cast<QTableWidgetItem*>(size), date})
            item->setTextAlignment(Qt::AlignCenter);
        list->setItem(row, NameColumn, name);
        list->setItem(row, TypeColumn, type);
        list->setItem(row, SizeColumn, size);
        list->setItem(row, DateColumn, date);
        ++row;
    }
    m_sortColumn = -1;
    list->horizontalHeader()->setSortIndicatorShown(false);
}

void TFrmBackUp::Lv1ColumnClick(int column)
{
    // A first click sorts ascending, another click on the same header reverses.
    m_sortOrder = column == m_sortColumn && m_sortOrder == Qt::AscendingOrder ? Qt::DescendingOrder
                                                                              : Qt::AscendingOrder;
    m_sortColumn = column;
    ui->Lv1->sortItems(column, m_sortOrder);
    ui->Lv1->horizontalHeader()->setSortIndicatorShown(true);
    ui->Lv1->horizontalHeader()->setSortIndicator(column, m_sortOrder);
}

QString TFrmBackUp::SelectedFileName() const
{
    const QList<QTableWidgetItem*> selected = ui->Lv1->selectedItems();
    if (selected.isEmpty())
        return {};
    const QTableWidgetItem* name = ui->Lv1->item(selected.first()->row(), NameColumn);
    return name ? name->text() : QString();
}

bool TFrmBackUp::RunWorker(WaitPas* worker, const QString& status)
{
    TWaitForm wait(this);
    wait.SetStatus(status);
    // The server's tools can be stopped; the database stays as it was.
    PgTools::ResetCancel();
    if (Settings::DatabaseIsServer())
        wait.SetCancel([] { PgTools::Cancel(); });
    connect(worker, &WaitPas::ShowStatus, &wait, &TWaitForm::SetStatus);
    wait.RunWhile(worker);
    const bool ok = worker->Result();
    m_lastError = worker->Error();
    m_lastMade = worker->MadeFile();
    delete worker;
    return ok;
}

void TFrmBackUp::btnBackupClick()
{
    if (!ServerToolsReady(this))
        return;
    const bool ok = RunWorker(new WaitPas(BackupFolder::Path(), WaitPas::BackUp, m_compressBackup, m_compressLevel),
                              QStringLiteral("正在备份数据库，请稍候……"));
    LogBackup(ok);
    ShowProcessMessages(ok, m_lastError);
    UpdateList();
}

void TFrmBackUp::btnReduceClick()
{
    const QString name = SelectedFileName();
    if (name.isEmpty())
        return;
    const QString path = BackupFolder::Path() + name;
    if (!QFileInfo(path).isFile()) {
        Dialogs::Instance().Inform(this, {QStringLiteral("您所选择的数据库备份文件不存在，请选择其他备份文件！"),
                                          QStringLiteral("错误"), Dialogs::Icon::Warning});
        UpdateList();
        return;
    }
    RestoreFrom(path);
}

void TFrmBackUp::btnRestoreFromClick()
{
    const bool server = Settings::DatabaseIsServer();
    const QString path = Dialogs::Instance().OpenFileName(
        this, {QStringLiteral("从其他位置还原"),
               server ? QStringLiteral("数据库服务器备份|*.pgdump|所有文件|*")
                      : QStringLiteral("备份文件|*.Jbk;*.jbk;*.zbk;*.Zbk;*.zip;*.7z;*.rar|所有文件|*"),
               QString(), QString()});
    if (path.isEmpty())
        return;
    if (!QFileInfo(path).isFile()) {
        Dialogs::Instance().Inform(this, {QStringLiteral("您所选择的数据库备份文件不存在，请选择其他备份文件！"),
                                          QStringLiteral("错误"), Dialogs::Icon::Warning});
        return;
    }
    RestoreFrom(path);
}

void TFrmBackUp::RestoreFrom(const QString& path)
{
    const QString wrongEngine = PgBackup::WrongEngine(path, Settings::DatabaseIsServer());
    if (!wrongEngine.isEmpty()) {
        Dialogs::Instance().Inform(this, {wrongEngine, QStringLiteral("错误"), Dialogs::Icon::Warning});
        return;
    }
    if (!ServerToolsReady(this) || !DatabaseFree(this))
        return;
    const bool server = Settings::DatabaseIsServer();
    if (Dialogs::Instance().Ask(this,
                                {QStringLiteral("还原'晨枫'数据时，将导致现有数据被覆盖，您确定要还原吗？") + "\n" +
                                     RestoredSession::QuestionLine(server),
                                 QStringLiteral("提醒"), Dialogs::Icon::Question},
                                Dialogs::Yes | Dialogs::No, Dialogs::No) != Dialogs::Yes)
        return;
    const bool ok = RunWorker(new WaitPas(path, WaitPas::Restore, 0, -1), QStringLiteral("正在还原数据库，请稍候……"));
    BackupStatusLabel::RefreshAll();
    if (ok && RestoredSession::Request()) {
        // The session starts anew from the restored data: this dialog
        // closes, then the main window closes the rest and asks for a login.
        accept();
        return;
    }
    ShowProcessMessages(ok, m_lastError);
    // The previous database is now one of the backups.
    UpdateList();
}

void TFrmBackUp::btnSaveToClick()
{
    const QString name = SelectedFileName();
    if (name.isEmpty()) {
        Dialogs::Instance().Inform(this, {QStringLiteral("请先选择要另存的备份文件。"), QStringLiteral("提示"),
                                          Dialogs::Icon::Information});
        return;
    }
    const QString folder = Dialogs::Instance().ExistingDirectory(
        this, {QStringLiteral("把备份“%1”另存到").arg(name), QString(), QString(), Settings::BackUpCopyFolder()});
    if (folder.isEmpty())
        return;
    QString error;
    const QString copy = BackupCopy::CopyTo(BackupFolder::Path() + name, folder, &error);
    if (DataM)
        DataM->WriteUsageLog(copy.isEmpty() ? QStringLiteral("另存备份失败：") + error
                                            : QStringLiteral("另存备份：") + copy);
    if (copy.isEmpty()) {
        Dialogs::Instance().Inform(this, {QStringLiteral("备份没有另存成功。\n") + error, QStringLiteral("错误"),
                                          Dialogs::Icon::Critical});
        return;
    }
    Dialogs::Instance().Inform(this, {QStringLiteral("备份已另存到“%1”，并已核对无误。").arg(QDir::toNativeSeparators(copy)),
                                      QStringLiteral("提示"), Dialogs::Icon::Information});
}

bool TFrmBackUp::DatabaseFree(QWidget* parent)
{
    if (Settings::DatabaseIsServer())
        return true;
    const ExclusiveDatabaseUse probe(GetAppDir() + "data/data.mdb");
    if (probe.Acquired())
        return true;
    Dialogs::Instance().Inform(parent, {probe.Error(), QStringLiteral("提示"), Dialogs::Icon::Warning});
    return false;
}

void TFrmBackUp::LogBackup(bool ok)
{
    if (!DataM)
        return;
    DataM->WriteUsageLog(ok ? BackupStatus::ManualDoneText(QFileInfo(m_lastMade).fileName())
                            : BackupStatus::ManualFailedText(m_lastError));
    BackupStatusLabel::RefreshAll();
}

void TFrmBackUp::btnDeleteClick()
{
    const QString name = SelectedFileName();
    if (name.isEmpty())
        return;
    if (Dialogs::Instance().Ask(this,
                                {QStringLiteral("您确定要删除这一个备份文件吗？删除后不能恢复！"),
                                 QStringLiteral("询问"), Dialogs::Icon::Question},
                                Dialogs::Yes | Dialogs::No, Dialogs::No) != Dialogs::Yes)
        return;
    const QString path = BackupFolder::Path() + name;
    // A file that is already gone is as good as deleted; one that stays keeps its row.
    if (QFileInfo::exists(path) && !QFile::remove(path)) {
        Dialogs::Instance().Inform(this, {QStringLiteral("无法删除备份文件“%1”，请检查该文件是否正在使用或只读。").arg(name),
                                          QStringLiteral("错误"), Dialogs::Icon::Warning});
        return;
    }
    ui->Lv1->removeRow(ui->Lv1->selectedItems().first()->row());
}

void TFrmBackUp::btnReloadClick()
{
    UpdateList();
}

void TFrmBackUp::ShowProcessMessages(bool success, const QString& reason)
{
    if (success)
        Dialogs::Instance().Inform(this, {QStringLiteral("数据库维护操作成功！"), QStringLiteral("提示"),
                                          Dialogs::Icon::Information});
    else
        Dialogs::Instance().Inform(this, {FailureText(reason), QStringLiteral("提示"), Dialogs::Icon::Critical});
}

QString TFrmBackUp::FailureText(const QString& reason)
{
    QString text = QStringLiteral("数据库维护操作失败，请稍候再试！");
    if (!reason.isEmpty())
        text += "\n" + reason;
    return text;
}
