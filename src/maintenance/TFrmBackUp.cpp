#include "TFrmBackUp.h"
#include "ui_TFrmBackUp.h"

#include "BackupFolder.h"
#include "Dialogs.h"
#include "IconList.h"
#include "PgBackup.h"
#include "Settings.h"
#include "TWaitForm.h"
#include "WaitPas.h"

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
    setFixedSize(475, 203);
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
        setFixedSize(475 + extra, 203);
    }
    connect(list->horizontalHeader(), &QHeaderView::sectionClicked, this, &TFrmBackUp::Lv1ColumnClick);

    connect(ui->btnBackup, &QPushButton::clicked, this, &TFrmBackUp::btnBackupClick);
    connect(ui->btnReduce, &QPushButton::clicked, this, &TFrmBackUp::btnReduceClick);
    connect(ui->btnDelete, &QPushButton::clicked, this, &TFrmBackUp::btnDeleteClick);
    connect(ui->btnReload, &QPushButton::clicked, this, &TFrmBackUp::btnReloadClick);
    connect(ui->btnClose, &QPushButton::clicked, this, &QDialog::reject);
    auto* f5 = new QShortcut(QKeySequence(Qt::Key_F5), this);
    f5->setContext(Qt::WindowShortcut);
    connect(f5, &QShortcut::activated, this, &TFrmBackUp::btnReloadClick);
    for (QPushButton* button : {ui->btnBackup, ui->btnReduce, ui->btnDelete, ui->btnReload, ui->btnClose})
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
    connect(worker, &WaitPas::ShowStatus, &wait, &TWaitForm::SetStatus);
    wait.RunWhile(worker);
    const bool ok = worker->Result();
    delete worker;
    return ok;
}

void TFrmBackUp::btnBackupClick()
{
    if (!ServerToolsReady(this))
        return;
    const bool ok = RunWorker(new WaitPas(BackupFolder::Path(), WaitPas::BackUp, m_compressBackup, m_compressLevel),
                              QStringLiteral("正在备份数据库，请稍候……"));
    ShowProcessMessages(ok);
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
    const QString wrongEngine = PgBackup::WrongEngine(path, Settings::DatabaseIsServer());
    if (!wrongEngine.isEmpty()) {
        Dialogs::Instance().Inform(this, {wrongEngine, QStringLiteral("错误"), Dialogs::Icon::Warning});
        return;
    }
    if (!ServerToolsReady(this))
        return;
    if (Dialogs::Instance().Ask(this,
                                {QStringLiteral("还原'晨枫'数据时，将导致现有数据被覆盖，您确定要还原吗？"),
                                 QStringLiteral("提醒"), Dialogs::Icon::Question},
                                Dialogs::Yes | Dialogs::No, Dialogs::No) != Dialogs::Yes)
        return;
    const bool ok = RunWorker(new WaitPas(path, WaitPas::Restore, 0, -1), QStringLiteral("正在还原数据库，请稍候……"));
    ShowProcessMessages(ok);
    // The previous database is now one of the backups.
    UpdateList();
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

void TFrmBackUp::ShowProcessMessages(bool success)
{
    if (success)
        Dialogs::Instance().Inform(this, {QStringLiteral("数据库维护操作成功！"), QStringLiteral("提示"),
                                          Dialogs::Icon::Information});
    else
        Dialogs::Instance().Inform(this, {QStringLiteral("数据库维护操作失败，请稍候再试！"), QStringLiteral("提示"),
                                          Dialogs::Icon::Critical});
}
