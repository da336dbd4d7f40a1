#include "TFrmCompanyDirEdit.h"
#include "ui_TFrmCompanyDirEdit.h"

#include "TDataM.h"
#include "Dialogs.h"
#include "DictionaryModel.h"
#include "UnsavedInput.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>
#include <QSignalBlocker>
#include <QTimer>

namespace {

struct Dictionary
{
    const char* entry;
    const char* table;
    const char* word;   // column titles: word + 编号/名称/描述
    const char* prefix; // fields: prefix + ID/Name/Desc
};

const Dictionary Dictionaries[] = {
    {"部门维护", "AC_DEPT", "部门", "Dept"},
    {"职员类型维护", "AC_PERSONTYPE", "职员类型", "Type"},
    {"职务维护", "AC_WORKPOST", "职务", "Post"},
};

// The navigator's glyphs: arrows to the ends and neighbours, plus, minus,
// a triangle for edit and a tick for post.
QIcon NavigatorIcon(int button)
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor ink(0x20, 0x3c, 0x78);
    p.setPen(Qt::NoPen);
    p.setBrush(ink);
    auto triangle = [&p](qreal tipX, qreal baseX) {
        QPainterPath path;
        path.moveTo(tipX, 8);
        path.lineTo(baseX, 3);
        path.lineTo(baseX, 13);
        path.closeSubpath();
        p.drawPath(path);
    };
    switch (button) {
    case TFrmCompanyDirEdit::nbFirst:
        p.drawRect(QRectF(3, 3, 2, 10));
        triangle(5, 12);
        break;
    case TFrmCompanyDirEdit::nbPrior:
        triangle(4, 11);
        break;
    case TFrmCompanyDirEdit::nbNext:
        triangle(12, 5);
        break;
    case TFrmCompanyDirEdit::nbLast:
        triangle(11, 4);
        p.drawRect(QRectF(11, 3, 2, 10));
        break;
    case TFrmCompanyDirEdit::nbInsert:
        p.drawRect(QRectF(3, 7, 10, 2));
        p.drawRect(QRectF(7, 3, 2, 10));
        break;
    case TFrmCompanyDirEdit::nbDelete:
        p.drawRect(QRectF(3, 7, 10, 2));
        break;
    case TFrmCompanyDirEdit::nbEdit: {
        QPainterPath path;
        path.moveTo(8, 3);
        path.lineTo(13, 12);
        path.lineTo(3, 12);
        path.closeSubpath();
        p.drawPath(path);
        break;
    }
    case TFrmCompanyDirEdit::nbPost:
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(ink, 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPolyline(QPolygonF({QPointF(3, 8.5), QPointF(6.5, 12), QPointF(13, 4)}));
        break;
    }
    return QIcon(pixmap);
}

} // namespace

TFrmCompanyDirEdit::TFrmCompanyDirEdit(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      ui(std::make_unique<Ui::TFrmCompanyDirEdit>())
{
    ui->setupUi(this);
    setFixedSize(345, 281);

    m_model = new DictionaryModel(&DataM->adoSetDir, this);
    QTableView* grid = ui->dbGrd;
    grid->setModel(m_model);
    grid->setEditTriggers(QAbstractItemView::CurrentChanged | QAbstractItemView::DoubleClicked |
                          QAbstractItemView::SelectedClicked | QAbstractItemView::EditKeyPressed |
                          QAbstractItemView::AnyKeyPressed);
    grid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grid->verticalHeader()->setDefaultSectionSize(grid->fontMetrics().height() + 8);
    grid->verticalHeader()->setFixedWidth(16);
    grid->verticalHeader()->setDefaultAlignment(Qt::AlignCenter);
    grid->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    grid->horizontalHeader()->setHighlightSections(false);
    grid->installEventFilter(this);

    // Refused input is shown once the editor is gone: a box popping up while
    // the editor commits would take its focus and commit it again.
    connect(
        m_model, &DictionaryModel::inputRefused, this,
        [this](const QString& message) { ShowError(message, QString(), this); }, Qt::QueuedConnection);
    connect(grid->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &TFrmCompanyDirEdit::OnCurrentRowChanged);
    connect(m_model, &QAbstractItemModel::modelReset, this, &TFrmCompanyDirEdit::UpdateNavigator);
    connect(m_model, &QAbstractItemModel::rowsInserted, this, &TFrmCompanyDirEdit::UpdateNavigator);
    connect(m_model, &QAbstractItemModel::rowsRemoved, this, &TFrmCompanyDirEdit::UpdateNavigator);
    connect(m_model, &QAbstractItemModel::headerDataChanged, this, &TFrmCompanyDirEdit::UpdateNavigator);

    QToolButton* const buttons[] = {ui->nbFirst,  ui->nbPrior,  ui->nbNext, ui->nbLast,
                                    ui->nbInsert, ui->nbDelete, ui->nbEdit, ui->nbPost};
    for (int b = nbFirst; b <= nbPost; ++b) {
        buttons[b]->setIcon(NavigatorIcon(b));
        buttons[b]->setFixedSize(25, 23);
        connect(buttons[b], &QToolButton::clicked, this, [this, b] { RzDBNavigator1Click(b); });
    }
    connect(ui->btnClose, &QPushButton::clicked, this, &TFrmCompanyDirEdit::btnCloseClick);
    connect(ui->cmbDir, &QComboBox::currentIndexChanged, this, &TFrmCompanyDirEdit::cmbDirClick);

    ui->cmbDir->setCurrentIndex(0);
    cmbDirClick();
}

TFrmCompanyDirEdit::~TFrmCompanyDirEdit() = default;

void TFrmCompanyDirEdit::CloseDictionary()
{
    DataM->adoSetDir.Close();
}

bool TFrmCompanyDirEdit::OpenDictionary(const QString& table)
{
    const Dictionary* dir = nullptr;
    for (const Dictionary& d : Dictionaries)
        if (table == QLatin1String(d.table))
            dir = &d;
    if (!dir)
        return false;
    ui->dbGrd->setUpdatesEnabled(false);
    const QString word = QString::fromUtf8(dir->word);
    const QString prefix = QString::fromLatin1(dir->prefix);
    m_model->SetColumns({word + "编号", word + "名称", word + "描述"},
                        {prefix + "ID", prefix + "Name", prefix + "Desc"});
    const bool opened = DataM->adoSetDir.Open(table);
    ui->dbGrd->resizeColumnToContents(0);
    ui->dbGrd->setColumnWidth(1, 100);
    ui->dbGrd->setColumnWidth(2, 130);
    if (opened && m_model->rowCount() > 0)
        SetCurrentCell(0, 0);
    ui->dbGrd->setUpdatesEnabled(true);
    UpdateNavigator();
    if (!opened)
        ShowError(QStringLiteral("打开字典失败：") + DataM->adoSetDir.ErrorString(), QString(), this);
    return opened;
}

void TFrmCompanyDirEdit::cmbDirClick()
{
    const int index = ui->cmbDir->currentIndex();
    if (index < 0 || index >= int(std::size(Dictionaries)))
        return;
    // Leaving a dictionary with an unposted row: save it or drop it first.
    if (m_dirIndex >= 0 && (!CommitEditor() || !AskSavePending())) {
        const QSignalBlocker blocker(ui->cmbDir);
        ui->cmbDir->setCurrentIndex(m_dirIndex);
        return;
    }
    DiscardEditor();
    m_dirIndex = index;
    CloseDictionary();
    OpenDictionary(QString::fromLatin1(Dictionaries[index].table));
}

bool TFrmCompanyDirEdit::CommitEditor()
{
    const QModelIndex index = ui->dbGrd->currentIndex();
    QWidget* editor = index.isValid() ? ui->dbGrd->indexWidget(index) : nullptr;
    if (!editor)
        return true;
    ui->dbGrd->itemDelegate()->setModelData(editor, m_model, index);
    return m_model->ErrorString().isEmpty();
}

void TFrmCompanyDirEdit::DiscardEditor()
{
    const QModelIndex index = ui->dbGrd->currentIndex();
    if (QWidget* editor = index.isValid() ? ui->dbGrd->indexWidget(index) : nullptr)
        emit ui->dbGrd->itemDelegate()->closeEditor(editor, QAbstractItemDelegate::RevertModelCache);
}

bool TFrmCompanyDirEdit::AskSavePending()
{
    if (!m_model->IsEditing())
        return true;
    if (m_model->IsUnchangedNewRow()) {
        m_model->Cancel();
        return true;
    }
    return AskToSaveInput(
        this,
        [this] {
            if (m_model->Post())
                return true;
            ShowError(m_model->ErrorString(), QString(), this);
            return false;
        },
        [this] { m_model->Cancel(); });
}

void TFrmCompanyDirEdit::SetCurrentCell(int row, int column)
{
    m_syncing = true;
    ui->dbGrd->setCurrentIndex(m_model->index(row, qMax(0, column)));
    m_syncing = false;
    m_model->SetCurrentRow(row);
    UpdateNavigator();
}

void TFrmCompanyDirEdit::OnCurrentRowChanged(const QModelIndex& current, const QModelIndex& previous)
{
    if (m_syncing)
        return;
    if (m_model->IsEditing() && current.row() != m_model->EditRow()) {
        // Leaving a row posts it; an untouched new row is dropped.
        const int editRow = m_model->EditRow();
        if (m_model->IsUnchangedNewRow()) {
            m_model->Cancel();
        } else if (!m_model->Post()) {
            // Back to the refused row once the view has finished moving.
            const QString error = m_model->ErrorString();
            const int column = previous.isValid() ? previous.column() : 0;
            QTimer::singleShot(0, this, [this, editRow, column, error] {
                SetCurrentCell(editRow, column);
                ShowError(error, QString(), this);
            });
            return;
        }
        if (!ui->dbGrd->currentIndex().isValid()) {
            // The rows were read anew (a changed key): stay on the saved one.
            SetCurrentCell(m_model->CurrentRow(), current.column());
            return;
        }
    }
    m_model->SetCurrentRow(current.row());
    UpdateNavigator();
}

void TFrmCompanyDirEdit::GoToRow(int row)
{
    if (!CommitEditor())
        return;
    if (m_model->IsEditing() && row != m_model->EditRow()) {
        if (m_model->IsUnchangedNewRow()) {
            m_model->Cancel();
        } else if (!m_model->Post()) {
            ShowError(m_model->ErrorString(), QString(), this);
            return;
        }
    }
    const int count = m_model->rowCount();
    if (count == 0)
        return;
    SetCurrentCell(qBound(0, row, count - 1), ui->dbGrd->currentIndex().column());
}

void TFrmCompanyDirEdit::DeleteCurrentRow()
{
    const int row = m_model->CurrentRow();
    if (row < 0)
        return;
    const Dialogs::Button answer = Dialogs::Instance().Ask(
        this, {QStringLiteral("删除记录吗？"), QStringLiteral("确认"), Dialogs::Icon::Question},
        Dialogs::Ok | Dialogs::Cancel, Dialogs::Ok);
    if (answer == Dialogs::Cancel)
        return;
    DiscardEditor();
    const int column = ui->dbGrd->currentIndex().column();
    m_syncing = true;
    const bool deleted = m_model->Delete(row);
    m_syncing = false;
    if (!deleted) {
        ShowError(m_model->ErrorString(), QString(), this);
        return;
    }
    if (m_model->rowCount() > 0)
        SetCurrentCell(qMin(row, m_model->rowCount() - 1), column);
    UpdateNavigator();
}

void TFrmCompanyDirEdit::RzDBNavigator1Click(int button)
{
    const int current = m_model->CurrentRow();
    switch (button) {
    case nbFirst:
        GoToRow(0);
        break;
    case nbPrior:
        GoToRow(current - 1);
        break;
    case nbNext:
        GoToRow(current + 1);
        break;
    case nbLast:
        GoToRow(m_model->rowCount() - 1);
        break;
    case nbInsert:
        if (!CommitEditor())
            return;
        if (!m_model->Append()) {
            ShowError(m_model->ErrorString(), QString(), this);
            return;
        }
        SetCurrentCell(m_model->rowCount() - 1, 0);
        break;
    case nbDelete:
        DeleteCurrentRow();
        break;
    case nbEdit:
        if (current < 0 || !CommitEditor())
            return;
        if (!m_model->Edit(current)) {
            ShowError(m_model->ErrorString(), QString(), this);
            return;
        }
        ui->dbGrd->edit(ui->dbGrd->currentIndex());
        break;
    case nbPost:
        if (!CommitEditor())
            return;
        if (!m_model->Post())
            ShowError(m_model->ErrorString(), QString(), this);
        break;
    }
    UpdateNavigator();
}

void TFrmCompanyDirEdit::UpdateNavigator()
{
    const int count = m_model->rowCount();
    const int current = m_model->CurrentRow();
    const bool editing = m_model->IsEditing();
    ui->nbFirst->setEnabled(current > 0);
    ui->nbPrior->setEnabled(current > 0);
    ui->nbNext->setEnabled(current >= 0 && current < count - 1);
    ui->nbLast->setEnabled(current >= 0 && current < count - 1);
    ui->nbInsert->setEnabled(DataM->adoSetDir.IsActive());
    ui->nbDelete->setEnabled(count > 0);
    ui->nbEdit->setEnabled(count > 0 && !editing);
    ui->nbPost->setEnabled(editing);
}

bool TFrmCompanyDirEdit::eventFilter(QObject* watched, QEvent* event)
{
    // Ctrl+Delete in the grid deletes the current row, as the navigator does.
    if (watched == ui->dbGrd && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Delete && (key->modifiers() & Qt::ControlModifier)) {
            DeleteCurrentRow();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TFrmCompanyDirEdit::btnCloseClick()
{
    reject();
}

void TFrmCompanyDirEdit::reject()
{
    if (!CommitEditor() || !AskSavePending())
        return;
    DiscardEditor();
    QDialog::reject();
}
