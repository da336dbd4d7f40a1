#include "TFrmRepairInput.h"

#include "SaleEntryEvents.h"
#include "ui_TFrmRepairInput.h"

#include "Dialogs.h"
#include "RepairRules.h"
#include "RepairSearch.h"
#include "RepairSettings.h"
#include "RepairSlips.h"
#include "ReportPreviewDialog.h"
#include "SessionRights.h"
#include "TFrmRepairHistory.h"
#include "WarrantyCardCode.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QHeaderView>
#include <QTimer>

using RepairRecord::Result;

namespace {

enum SwapColumn {
    ColPart,
    ColOldModel,
    ColOldSerial,
    ColNewModel,
    ColNewSerial,
    ColQty,
    ColPrice,
    ColCovered,
    SwapColumns
};

// Search results while typing: a short pause after the last key, so a
// scanner's burst of characters asks the database once.
constexpr int SearchDelayMs = 150;
constexpr int SearchLimit = 50;

QString DateOnly(const QDateTime& value)
{
    return value.isValid() ? value.toString(QStringLiteral("yyyy-MM-dd")) : QString();
}

QTableWidgetItem* ReadOnlyItem(const QString& text)
{
    auto* item = new QTableWidgetItem(text);
    item->setFlags(item->flags() & ~Qt::ItemIsEditable);
    return item;
}

void SetupTable(QTableWidget* table, const QStringList& headers)
{
    table->setColumnCount(headers.size());
    table->setHorizontalHeaderLabels(headers);
    table->verticalHeader()->setVisible(false);
    table->horizontalHeader()->setStretchLastSection(true);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
}

} // namespace

TFrmRepairInput::TFrmRepairInput(QWidget* parent)
    : TDefForm(parent), m_ui(std::make_unique<Ui::TFrmRepairInput>()), m_searchTimer(new QTimer(this))
{
    m_ui->setupUi(this);
    m_searchTimer->setObjectName(QStringLiteral("TmrSearch"));
    m_searchTimer->setSingleShot(true);
    m_searchTimer->setInterval(SearchDelayMs);
    m_ui->EFind->setPlaceholderText(QStringLiteral("电话号码、姓名、维修单号、序列号，或扫描保修卡"));
    m_ui->CmbWarranty->addItems({QStringLiteral("保修"), QStringLiteral("不保修")});
    m_ui->CmbReason->addItem(QString());
    m_ui->CmbReason->addItems(RepairRules::OverrideReasons());
    m_ui->CmbOutcome->addItem(QString());
    m_ui->CmbOutcome->addItems(RepairRules::Outcomes());
    m_ui->CmbPhrase->addItem(QStringLiteral("（选择后加入故障描述）"));
    m_ui->CmbPhrase->addItems(RepairSettings::Load().phrases);
    SetupTable(m_ui->GrdVisits, {QStringLiteral("单号"), QStringLiteral("接收日期"), QStringLiteral("故障"),
                                 QStringLiteral("状态")});
    SetupTable(m_ui->GrdParts, {QStringLiteral("部件"), QStringLiteral("型号"), QStringLiteral("保修至")});
    SetupTable(m_ui->GrdSwaps, {QStringLiteral("部件"), QStringLiteral("原型号"), QStringLiteral("原序列号"),
                                QStringLiteral("新型号"), QStringLiteral("新序列号"), QStringLiteral("数量"),
                                QStringLiteral("单价"), QStringLiteral("保修")});
    m_ui->GrdVisits->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_ui->GrdParts->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_ui->GrdSwaps->horizontalHeader()->setStretchLastSection(false);
    m_ui->LblBadge->setObjectName(QStringLiteral("LblBadge"));
    QFont big = m_ui->LblBadge->font();
    big.setBold(true);
    big.setPointSizeF(big.pointSizeF() * 1.3);
    m_ui->LblBadge->setFont(big);
    m_ui->LblNo->setFont(big);

    connect(m_ui->EFind, &QLineEdit::textEdited, m_searchTimer, qOverload<>(&QTimer::start));
    connect(m_searchTimer, &QTimer::timeout, this, &TFrmRepairInput::RunSearch);
    connect(m_ui->EFind, &QLineEdit::returnPressed, this, &TFrmRepairInput::EFindReturnPressed);
    connect(m_ui->LstFound, &QListWidget::itemActivated, this, &TFrmRepairInput::LstFoundActivated);
    connect(m_ui->BtnOutside, &QPushButton::clicked, this, &TFrmRepairInput::BtnOutsideClick);
    connect(m_ui->BtnNew, &QPushButton::clicked, this, &TFrmRepairInput::BtnNewClick);
    connect(m_ui->BtnSave, &QPushButton::clicked, this, &TFrmRepairInput::BtnSaveClick);
    connect(m_ui->BtnStart, &QPushButton::clicked, this, &TFrmRepairInput::BtnStartClick);
    connect(m_ui->BtnReady, &QPushButton::clicked, this, &TFrmRepairInput::BtnReadyClick);
    connect(m_ui->BtnPickup, &QPushButton::clicked, this, &TFrmRepairInput::BtnPickupClick);
    connect(m_ui->BtnPrintOrder, &QPushButton::clicked, this, &TFrmRepairInput::BtnPrintOrderClick);
    connect(m_ui->BtnPrintPickup, &QPushButton::clicked, this, &TFrmRepairInput::BtnPrintPickupClick);
    connect(m_ui->BtnSavePrint, &QPushButton::clicked, this, &TFrmRepairInput::BtnSavePrintClick);
    connect(m_ui->BtnHistory, &QPushButton::clicked, this, &TFrmRepairInput::BtnHistoryClick);
    connect(m_ui->BtnAddSwap, &QPushButton::clicked, this, &TFrmRepairInput::BtnAddSwapClick);
    connect(m_ui->BtnDelSwap, &QPushButton::clicked, this, &TFrmRepairInput::BtnDelSwapClick);
    connect(m_ui->BtnClose, &QPushButton::clicked, this, &QWidget::close);
    connect(m_ui->CmbPhrase, qOverload<int>(&QComboBox::activated), this,
            &TFrmRepairInput::CmbPhraseActivated);

    // Any typed change marks the visit modified; money is summed again.
    for (QLineEdit* edit : {m_ui->EContact, m_ui->EContactPhone, m_ui->EAccessoryOther, m_ui->EAppearance,
                            m_ui->EDeposit, m_ui->ERemark, m_ui->ETechnician, m_ui->ELabor, m_ui->ECustomer,
                            m_ui->EPhone, m_ui->EAddr, m_ui->ECpu, m_ui->EBoard, m_ui->EMemory, m_ui->EHD})
        connect(edit, &QLineEdit::textEdited, this, &TFrmRepairInput::MarkModified);
    for (QPlainTextEdit* edit : {m_ui->MemProblem, m_ui->MemDiagnosis, m_ui->MemAction})
        connect(edit, &QPlainTextEdit::textChanged, this, &TFrmRepairInput::MarkModified);
    for (QCheckBox* box : {m_ui->ChkAdapter, m_ui->ChkCable, m_ui->ChkBag, m_ui->ChkDisc, m_ui->ChkCarton})
        connect(box, &QCheckBox::toggled, this, &TFrmRepairInput::MarkModified);
    for (QComboBox* box : {m_ui->CmbWarranty, m_ui->CmbReason, m_ui->CmbOutcome})
        connect(box, qOverload<int>(&QComboBox::currentIndexChanged), this, &TFrmRepairInput::MarkModified);
    connect(m_ui->CmbWarranty, qOverload<int>(&QComboBox::currentIndexChanged), this, [this] {
        if (!m_loading)
            ShowBadge();
    });
    connect(m_ui->DateReceived, &QDateTimeEdit::dateTimeChanged, this, &TFrmRepairInput::MarkModified);
    connect(m_ui->DateDue, &QDateEdit::dateChanged, this, &TFrmRepairInput::MarkModified);
    connect(m_ui->GrdSwaps, &QTableWidget::itemChanged, this, &TFrmRepairInput::MarkModified);

    NewVisit();
}

TFrmRepairInput::~TFrmRepairInput() = default;

void TFrmRepairInput::MarkModified()
{
    if (m_loading)
        return;
    m_modified = true;
    UpdateMoney();
}

// --- finding the machine ----------------------------------------------------

void TFrmRepairInput::RunSearch()
{
    m_searchTimer->stop();
    m_ui->LstFound->clear();
    const QString typed = m_ui->EFind->text();
    if (WarrantyCardRecordId(typed) > 0 || IsWarrantyCardLine(typed))
        return;
    QString error;
    const QVector<RepairSearch::Hit> hits = RepairSearch::Find(typed, SearchLimit, &error);
    if (!error.isEmpty()) {
        ShowError(QStringLiteral("查找失败：") + error, QString(), this);
        return;
    }
    for (const RepairSearch::Hit& h : hits) {
        const QString text =
            QStringLiteral("%1  %2  %3  %4  [%5]")
                .arg(h.name, h.phone,
                     h.buyDate.isValid() ? h.buyDate.toString(QStringLiteral("yyyy-MM-dd")) : QString(),
                     h.machine, h.matched);
        auto* item = new QListWidgetItem(text, m_ui->LstFound);
        item->setData(Qt::UserRole, h.saleID);
        item->setData(Qt::UserRole + 1, h.repairID);
    }
    if (m_ui->LstFound->count() > 0)
        m_ui->LstFound->setCurrentRow(0);
}

void TFrmRepairInput::EFindReturnPressed()
{
    const QString typed = m_ui->EFind->text();
    // A scanned warranty card: its first line names the record; the lines
    // the scanner types after it are part of the same code.
    if (const qint64 card = WarrantyCardRecordId(typed); card > 0) {
        m_searchTimer->stop();
        m_ui->EFind->clear();
        m_ui->LstFound->clear();
        m_cardLines = true;
        PickMachine(card);
        return;
    }
    if (m_cardLines && IsWarrantyCardLine(typed)) {
        m_ui->EFind->clear();
        return;
    }
    m_cardLines = false;
    RunSearch();
    if (m_ui->LstFound->count() == 1)
        LstFoundActivated();
    else if (m_ui->LstFound->count() > 1)
        m_ui->LstFound->setFocus();
}

void TFrmRepairInput::LstFoundActivated()
{
    QListWidgetItem* item = m_ui->LstFound->currentItem();
    if (!item)
        return;
    const qint64 saleID = item->data(Qt::UserRole).toLongLong();
    const qint64 repairID = item->data(Qt::UserRole + 1).toLongLong();
    if (saleID > 0)
        PickMachine(saleID);
    else if (repairID > 0 && KeepTypedWork())
        OpenVisit(repairID);
}

bool TFrmRepairInput::PickMachine(qint64 saleID)
{
    if (!KeepTypedWork())
        return false;
    RepairRecord::SaleMachine sale = RepairRecord::LoadSale(saleID);
    if (!sale.found) {
        ShowMessage(QStringLiteral("找不到编号为 %1 的销售记录。").arg(saleID), this);
        return false;
    }
    m_secondOpenConfirmed = false;
    if (const int open = RepairRecord::OpenVisitCount(saleID); open > 0) {
        Dialogs::Message question{QStringLiteral("这台机器还有 %1 条未取机的维修记录。\n"
                                                 "“是”打开最近的一条，“否”再登记一次送修。")
                                      .arg(open),
                                  QStringLiteral("维修登记"), Dialogs::Icon::Question};
        const Dialogs::Button answer = Dialogs::Instance().Ask(
            this, question, Dialogs::Yes | Dialogs::No | Dialogs::Cancel, Dialogs::Yes);
        if (answer == Dialogs::Cancel)
            return false;
        if (answer == Dialogs::Yes) {
            const QVector<RepairVisit> visits = RepairRecord::History(saleID);
            for (int i = visits.size() - 1; i >= 0; --i)
                if (visits[i].status != RepairRules::PickedUp)
                    return OpenVisit(visits[i].repairID);
        }
        m_secondOpenConfirmed = true;
    }
    m_sale = sale;
    m_ui->BtnOutside->setChecked(false);
    NewVisit();
    m_ui->MemProblem->setFocus();
    return true;
}

bool TFrmRepairInput::OpenVisit(qint64 repairID)
{
    RepairVisit visit;
    QString error;
    if (RepairRecord::Load(repairID, &visit, &error) != Result::Ok) {
        ShowMessage(error, this);
        return false;
    }
    m_visit = visit;
    m_sale = visit.outside ? RepairRecord::SaleMachine{} : RepairRecord::LoadSale(visit.saleID);
    m_ui->BtnOutside->setChecked(visit.outside);
    ShowVisit();
    m_modified = false;
    return true;
}

void TFrmRepairInput::BtnOutsideClick(bool outside)
{
    if (!KeepTypedWork()) {
        m_ui->BtnOutside->setChecked(!outside);
        return;
    }
    m_sale = {};
    NewVisit();
    m_visit.outside = outside;
    ShowVisit();
    m_modified = false;
    (outside ? m_ui->ECustomer : m_ui->EFind)->setFocus();
}

void TFrmRepairInput::BtnNewClick()
{
    if (!KeepTypedWork())
        return;
    m_sale = {};
    m_ui->BtnOutside->setChecked(false);
    NewVisit();
    m_ui->EFind->clear();
    m_ui->LstFound->clear();
    m_ui->EFind->setFocus();
}

// --- showing and reading the visit ------------------------------------------

void TFrmRepairInput::NewVisit()
{
    const RepairSettings settings = RepairSettings::Load();
    RepairVisit v;
    v.outside = m_ui->BtnOutside->isChecked();
    v.saleID = m_sale.found ? m_sale.id : 0;
    v.receivedAt = QDateTime::currentDateTime();
    v.receivedAt.setTime(QTime(v.receivedAt.time().hour(), v.receivedAt.time().minute()));
    v.dueAt = QDateTime(v.receivedAt.date().addDays(settings.dueDays), QTime(0, 0));
    if (m_sale.found) {
        v.contactName = m_sale.name;
        const QString mobile = m_sale.mobile.trimmed();
        v.contactPhone = mobile.isEmpty() || mobile == QStringLiteral("无") ? m_sale.phone : mobile;
        v.inWarranty = RepairRules::Judge(m_sale.overRunText, v.receivedAt.date()).inWarranty;
    }
    m_visit = v;
    ShowVisit();
    m_modified = false;
}

void TFrmRepairInput::ShowMachine()
{
    const bool outside = m_visit.outside;
    for (QLineEdit* edit :
         {m_ui->ECustomer, m_ui->EPhone, m_ui->EAddr, m_ui->ECpu, m_ui->EBoard, m_ui->EMemory, m_ui->EHD})
        edit->setReadOnly(!outside);
    if (outside) {
        m_ui->ECustomer->setText(m_visit.customerName);
        m_ui->EPhone->setText(m_visit.contactPhone);
        m_ui->EAddr->setText(m_visit.customerAddr);
        m_ui->EBuyDate->clear();
        m_ui->EOverRun->clear();
        m_ui->ECpu->setText(m_visit.cpu);
        m_ui->EBoard->setText(m_visit.mainBoard);
        m_ui->EMemory->setText(m_visit.memory);
        m_ui->EHD->setText(m_visit.hd);
    } else {
        m_ui->ECustomer->setText(m_sale.name);
        const QString mobile = m_sale.mobile.trimmed();
        m_ui->EPhone->setText(mobile.isEmpty() || mobile == QStringLiteral("无") ? m_sale.phone : mobile);
        m_ui->EAddr->setText(m_sale.addr);
        m_ui->EBuyDate->setText(
            m_sale.buyDate.isValid() ? m_sale.buyDate.toString(QStringLiteral("yyyy-MM-dd")) : QString());
        m_ui->EOverRun->setText(m_sale.overRunText.left(10));
        QString cpu, board, memory, hd;
        if (m_sale.found)
            for (const auto& [caption, model] : RepairRecord::CurrentConfiguration(m_sale.id)) {
                if (caption == QStringLiteral("处理器"))
                    cpu = model;
                else if (caption == QStringLiteral("主板"))
                    board = model;
                else if (caption == QStringLiteral("内存"))
                    memory = model;
                else if (caption == QStringLiteral("硬盘"))
                    hd = model;
            }
        m_ui->ECpu->setText(cpu);
        m_ui->EBoard->setText(board);
        m_ui->EMemory->setText(memory);
        m_ui->EHD->setText(hd);
    }
    m_ui->BtnHistory->setEnabled(m_sale.found);
    FillHistoryTables();
}

void TFrmRepairInput::ShowBadge()
{
    QString text, colour;
    if (m_visit.outside) {
        text = QStringLiteral("非本店销售（不保修）");
        colour = QStringLiteral("#b36b00");
    } else if (m_sale.found) {
        const QDate received = m_visit.repairID > 0 ? m_visit.receivedAt.date() : m_ui->DateReceived->date();
        const RepairRules::Warranty w = RepairRules::Judge(m_sale.overRunText, received);
        text = w.badge;
        colour = w.inWarranty ? QStringLiteral("#1a7f37") : QStringLiteral("#c62828");
        const bool judged = m_ui->CmbWarranty->currentIndex() == 0;
        if (judged != w.inWarranty)
            text += judged ? QStringLiteral(" → 判定保修") : QStringLiteral(" → 判定不保修");
    }
    m_ui->LblBadge->setText(text);
    m_ui->LblBadge->setStyleSheet(colour.isEmpty() ? QString() : QStringLiteral("color: %1;").arg(colour));
}

void TFrmRepairInput::FillHistoryTables()
{
    m_ui->GrdVisits->setRowCount(0);
    m_ui->GrdParts->setRowCount(0);
    if (!m_sale.found)
        return;
    const QDate today = QDate::currentDate();
    for (const RepairVisit& v : RepairRecord::History(m_sale.id)) {
        for (const RepairSwapLine& s : v.swaps)
            if (s.warrantyUntil.isValid() && s.warrantyUntil >= today) {
                const int row = m_ui->GrdParts->rowCount();
                m_ui->GrdParts->insertRow(row);
                m_ui->GrdParts->setItem(row, 0, ReadOnlyItem(s.component));
                m_ui->GrdParts->setItem(row, 1, ReadOnlyItem((s.newModel + ' ' + s.newSerial).trimmed()));
                m_ui->GrdParts->setItem(row, 2,
                                        ReadOnlyItem(s.warrantyUntil.toString(QStringLiteral("yyyy-MM-dd"))));
            }
        if (v.repairID == m_visit.repairID)
            continue;
        const int row = m_ui->GrdVisits->rowCount();
        m_ui->GrdVisits->insertRow(row);
        m_ui->GrdVisits->setItem(row, 0, ReadOnlyItem(v.repairNo));
        m_ui->GrdVisits->setItem(row, 1, ReadOnlyItem(DateOnly(v.receivedAt)));
        m_ui->GrdVisits->setItem(row, 2, ReadOnlyItem(v.problem.simplified().left(40)));
        m_ui->GrdVisits->setItem(row, 3, ReadOnlyItem(RepairRules::StatusText(v.status)));
    }
}

void TFrmRepairInput::ShowVisit()
{
    m_loading = true;
    const RepairVisit& v = m_visit;
    ShowMachine();
    m_ui->LblNo->setText(v.repairID > 0
                             ? QStringLiteral("%1  %2").arg(v.repairNo, RepairRules::StatusText(v.status))
                             : QStringLiteral("新登记"));
    m_ui->EContact->setText(v.contactName);
    m_ui->EContactPhone->setText(v.contactPhone);
    m_ui->DateReceived->setDateTime(v.receivedAt.isValid() ? v.receivedAt : QDateTime::currentDateTime());
    m_ui->DateDue->setDate(v.dueAt.isValid() ? v.dueAt.date() : m_ui->DateReceived->date());
    m_ui->MemProblem->setPlainText(v.problem);
    // The accessories are stored as one text: the boxes' captions, then the rest.
    QStringList accessories = v.accessories.split(QStringLiteral("、"), Qt::SkipEmptyParts);
    for (QCheckBox* box : {m_ui->ChkAdapter, m_ui->ChkCable, m_ui->ChkBag, m_ui->ChkDisc, m_ui->ChkCarton}) {
        box->setChecked(accessories.contains(box->text()));
        accessories.removeAll(box->text());
    }
    m_ui->EAccessoryOther->setText(accessories.join(QStringLiteral("、")));
    m_ui->EAppearance->setText(v.appearance);
    m_ui->CmbWarranty->setCurrentIndex(v.inWarranty ? 0 : 1);
    m_ui->CmbReason->setCurrentText(v.warrantyReason);
    m_ui->EDeposit->setText(v.deposit > 0 ? RepairRules::YuanText(v.deposit) : QString());
    m_ui->ERemark->setText(v.remark);
    m_ui->MemDiagnosis->setPlainText(v.diagnosis);
    m_ui->MemAction->setPlainText(v.action);
    m_ui->ETechnician->setText(v.technician);
    m_ui->CmbOutcome->setCurrentText(v.outcome);
    m_ui->ELabor->setText(v.laborFee > 0 ? RepairRules::YuanText(v.laborFee) : QString());
    m_ui->GrdSwaps->setRowCount(0);
    for (const RepairSwapLine& line : v.swaps) {
        const int row = m_ui->GrdSwaps->rowCount();
        m_ui->GrdSwaps->insertRow(row);
        SetSwapRow(row, line);
    }
    m_loading = false;
    ShowBadge();
    UpdateMoney();
    UpdateButtons();
}

void TFrmRepairInput::SetSwapRow(int row, const RepairSwapLine& line)
{
    auto* part = new QComboBox(m_ui->GrdSwaps);
    part->setObjectName(QStringLiteral("CmbSwapPart%1").arg(row + 1));
    part->setAccessibleName(QStringLiteral("部件"));
    for (const RepairRules::Component& c : RepairRules::Components())
        part->addItem(QString::fromUtf16(c.caption));
    part->setCurrentText(line.component.isEmpty() ? QStringLiteral("内存") : line.component);
    m_ui->GrdSwaps->setCellWidget(row, ColPart, part);
    auto item = [](const QString& text) { return new QTableWidgetItem(text); };
    m_ui->GrdSwaps->setItem(row, ColOldModel, item(line.oldModel));
    m_ui->GrdSwaps->item(row, ColOldModel)->setData(Qt::UserRole, line.swapID);
    m_ui->GrdSwaps->setItem(row, ColOldSerial, item(line.oldSerial));
    m_ui->GrdSwaps->setItem(row, ColNewModel, item(line.newModel));
    m_ui->GrdSwaps->setItem(row, ColNewSerial, item(line.newSerial));
    m_ui->GrdSwaps->setItem(row, ColQty, item(QString::number(line.qty)));
    m_ui->GrdSwaps->setItem(row, ColPrice, item(RepairRules::YuanText(line.price)));
    auto* covered = new QTableWidgetItem(QStringLiteral("保修"));
    covered->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable | Qt::ItemIsSelectable);
    covered->setCheckState(line.covered ? Qt::Checked : Qt::Unchecked);
    m_ui->GrdSwaps->setItem(row, ColCovered, covered);
    // The old model of a new line: the component as the machine has it now.
    connect(part, &QComboBox::currentTextChanged, this, [this, part](const QString& caption) {
        for (int r = 0; r < m_ui->GrdSwaps->rowCount(); ++r)
            if (m_ui->GrdSwaps->cellWidget(r, ColPart) == part) {
                QString model;
                if (m_sale.found)
                    for (const auto& [c, m] : RepairRecord::CurrentConfiguration(m_sale.id))
                        if (c == caption)
                            model = m;
                m_ui->GrdSwaps->item(r, ColOldModel)->setText(model);
            }
        MarkModified();
    });
}

RepairSwapLine TFrmRepairInput::SwapOfRow(int row, bool* ok) const
{
    RepairSwapLine line;
    const auto text = [&](int column) {
        const QTableWidgetItem* item = m_ui->GrdSwaps->item(row, column);
        return item ? item->text().trimmed() : QString();
    };
    if (const auto* part = qobject_cast<QComboBox*>(m_ui->GrdSwaps->cellWidget(row, ColPart)))
        line.component = part->currentText();
    line.oldModel = text(ColOldModel);
    line.oldSerial = text(ColOldSerial);
    line.newModel = text(ColNewModel);
    line.newSerial = text(ColNewSerial);
    bool qtyOk = false;
    line.qty = text(ColQty).toInt(&qtyOk);
    const std::optional<qint64> price = RepairRules::ParseYuan(text(ColPrice));
    line.price = price.value_or(0);
    line.covered = m_ui->GrdSwaps->item(row, ColCovered) &&
                   m_ui->GrdSwaps->item(row, ColCovered)->checkState() == Qt::Checked;
    const QTableWidgetItem* key = m_ui->GrdSwaps->item(row, ColOldModel);
    line.swapID = key ? key->data(Qt::UserRole).toLongLong() : 0;
    if (line.swapID > 0) {
        // Stored lines keep their warranty date.
        for (const RepairSwapLine& s : m_visit.swaps)
            if (s.swapID == line.swapID)
                line.warrantyUntil = s.warrantyUntil;
    }
    *ok = qtyOk && line.qty > 0 && price.has_value();
    return line;
}

bool TFrmRepairInput::ReadMoney(QString* error)
{
    const std::optional<qint64> labor = RepairRules::ParseYuan(m_ui->ELabor->text());
    const std::optional<qint64> deposit = RepairRules::ParseYuan(m_ui->EDeposit->text());
    if (!labor) {
        *error = QStringLiteral("人工费不是正确的金额：") + m_ui->ELabor->text();
        return false;
    }
    if (!deposit) {
        *error = QStringLiteral("已收定金不是正确的金额：") + m_ui->EDeposit->text();
        return false;
    }
    m_visit.laborFee = *labor;
    m_visit.deposit = *deposit;
    QVector<RepairSwapLine> swaps;
    for (int row = 0; row < m_ui->GrdSwaps->rowCount(); ++row) {
        bool ok = false;
        swaps << SwapOfRow(row, &ok);
        if (!ok) {
            *error = QStringLiteral("第 %1 行更换配件的数量或单价不正确。").arg(row + 1);
            return false;
        }
    }
    m_visit.swaps = swaps;
    return true;
}

void TFrmRepairInput::ReadVisit()
{
    RepairVisit& v = m_visit;
    if (v.outside) {
        v.customerName = m_ui->ECustomer->text().trimmed();
        v.customerAddr = m_ui->EAddr->text().trimmed();
        v.cpu = m_ui->ECpu->text().trimmed();
        v.mainBoard = m_ui->EBoard->text().trimmed();
        v.memory = m_ui->EMemory->text().trimmed();
        v.hd = m_ui->EHD->text().trimmed();
        if (m_ui->EContactPhone->text().trimmed().isEmpty())
            m_ui->EContactPhone->setText(m_ui->EPhone->text());
    }
    v.contactName = m_ui->EContact->text().trimmed();
    v.contactPhone = m_ui->EContactPhone->text().trimmed();
    v.receivedAt = m_ui->DateReceived->dateTime();
    v.dueAt = QDateTime(m_ui->DateDue->date(), QTime(0, 0));
    v.problem = m_ui->MemProblem->toPlainText().trimmed();
    QStringList accessories;
    for (QCheckBox* box : {m_ui->ChkAdapter, m_ui->ChkCable, m_ui->ChkBag, m_ui->ChkDisc, m_ui->ChkCarton})
        if (box->isChecked())
            accessories << box->text();
    if (!m_ui->EAccessoryOther->text().trimmed().isEmpty())
        accessories << m_ui->EAccessoryOther->text().trimmed();
    v.accessories = accessories.join(QStringLiteral("、"));
    v.appearance = m_ui->EAppearance->text().trimmed();
    v.inWarranty = m_ui->CmbWarranty->currentIndex() == 0;
    v.warrantyReason = m_ui->CmbReason->currentText();
    v.remark = m_ui->ERemark->text().trimmed();
    v.diagnosis = m_ui->MemDiagnosis->toPlainText().trimmed();
    v.action = m_ui->MemAction->toPlainText().trimmed();
    v.technician = m_ui->ETechnician->text().trimmed();
    v.outcome = m_ui->CmbOutcome->currentText();
}

void TFrmRepairInput::UpdateMoney()
{
    if (m_loading)
        return;
    const qint64 labor = RepairRules::ParseYuan(m_ui->ELabor->text()).value_or(0);
    const qint64 deposit = RepairRules::ParseYuan(m_ui->EDeposit->text()).value_or(0);
    QVector<RepairRules::Line> lines;
    for (int row = 0; row < m_ui->GrdSwaps->rowCount(); ++row) {
        bool ok = false;
        const RepairSwapLine s = SwapOfRow(row, &ok);
        lines.append({s.qty, s.price, s.covered});
    }
    const qint64 total = RepairRules::Total(labor, lines);
    m_ui->LblPartsFee->setText(RepairRules::YuanText(RepairRules::PartsFee(lines)));
    m_ui->LblTotal->setText(RepairRules::YuanText(total));
    m_ui->LblDueAmount->setText(RepairRules::YuanText(RepairRules::Due(total, deposit)));
}

void TFrmRepairInput::UpdateButtons()
{
    const bool stored = m_visit.repairID > 0;
    const int status = m_visit.status;
    const auto granted = [](const char* right) {
        return SessionRights::IsGranted(QString::fromLatin1(right));
    };
    const bool machine = m_sale.found || m_visit.outside;
    m_ui->BtnSave->setEnabled(machine || stored);
    m_ui->BtnSavePrint->setEnabled(machine || stored);
    m_ui->BtnStart->setText(status == RepairRules::Ready ? QStringLiteral("返修")
                                                         : QStringLiteral("开始检修"));
    m_ui->BtnStart->setEnabled(stored && (status == RepairRules::Received || status == RepairRules::Ready) &&
                               granted(RepairRules::BenchRight));
    m_ui->BtnReady->setEnabled(stored && status < RepairRules::Ready && granted(RepairRules::BenchRight));
    m_ui->BtnPickup->setText(status == RepairRules::PickedUp ? QStringLiteral("撤销取机")
                                                             : QStringLiteral("取机结算"));
    m_ui->BtnPickup->setEnabled(stored &&
                                (status == RepairRules::PickedUp ? granted(RepairRules::AdvancedRight)
                                                                 : granted(RepairRules::PickupRight)));
    m_ui->BtnPrintOrder->setEnabled(stored);
    m_ui->BtnPrintPickup->setEnabled(stored && status >= RepairRules::Ready);
    const bool bench = granted(RepairRules::BenchRight) &&
                       (status != RepairRules::PickedUp || granted(RepairRules::AdvancedRight));
    m_ui->TabBench->setEnabled(bench || !stored);
}

// --- saving and the steps ---------------------------------------------------

bool TFrmRepairInput::Save()
{
    if (!m_sale.found && !m_visit.outside) {
        ShowMessage(QStringLiteral("请先查找并选择送修的机器，或点“非本店销售”。"), this);
        m_ui->EFind->setFocus();
        return false;
    }
    QString error;
    if (!ReadMoney(&error)) {
        ShowMessage(error, this);
        return false;
    }
    ReadVisit();
    const bool isNew = m_visit.repairID == 0;
    const Result result = isNew ? RepairRecord::Create(m_visit, m_secondOpenConfirmed, &error)
                                : RepairRecord::Update(m_visit, &error);
    if (result != Result::Ok) {
        ShowMessage(error, this);
        return false;
    }
    m_modified = false;
    ShowVisit();
    emit SaleEntryEvents::Instance()->repairsChanged();
    return true;
}

bool TFrmRepairInput::Move(int to)
{
    if ((m_modified || m_visit.repairID == 0) && !Save())
        return false;
    if (to == RepairRules::PickedUp) {
        const QString text =
            QStringLiteral("取机结算 %1：\n合计 %2 元，已收定金 %3 元，实收 %4 元。\n确认客户已取机？")
                .arg(m_visit.repairNo, RepairRules::YuanText(m_visit.ComputedTotal()),
                     RepairRules::YuanText(m_visit.deposit), RepairRules::YuanText(m_visit.Due()));
        if (Dialogs::Instance().Ask(this, {text, QStringLiteral("取机结算"), Dialogs::Icon::Question},
                                    Dialogs::Yes | Dialogs::No, Dialogs::Yes) != Dialogs::Yes)
            return false;
    }
    QString error;
    if (RepairRecord::MoveStatus(m_visit, to, QDateTime::currentDateTime(), &error) != Result::Ok) {
        ShowMessage(error, this);
        return false;
    }
    ShowVisit();
    emit SaleEntryEvents::Instance()->repairsChanged();
    return true;
}

void TFrmRepairInput::BtnSaveClick()
{
    Save();
}

void TFrmRepairInput::BtnStartClick()
{
    if (Move(RepairRules::InRepair))
        m_ui->PgcRepair->setCurrentWidget(m_ui->TabBench);
}

void TFrmRepairInput::BtnReadyClick()
{
    Move(RepairRules::Ready);
}

void TFrmRepairInput::BtnPickupClick()
{
    if (m_visit.status == RepairRules::PickedUp) {
        if (Dialogs::Instance().Ask(this,
                                    {QStringLiteral("撤销 %1 的取机，改回“待取机”？").arg(m_visit.repairNo),
                                     QStringLiteral("撤销取机"), Dialogs::Icon::Question},
                                    Dialogs::Yes | Dialogs::No, Dialogs::No) == Dialogs::Yes)
            Move(RepairRules::Ready);
        return;
    }
    if (Move(RepairRules::PickedUp))
        ShowSlip(true);
}

bool TFrmRepairInput::ShowSlip(bool pickup)
{
    const RepairSlipData data = RepairSlips::DataOf(m_visit);
    const bool receipt = RepairSettings::ReceiptLayout();
    const Report::PreparedReport report = pickup ? RepairSlips::PreparePickupSlip(data, receipt)
                                                 : RepairSlips::PrepareRepairOrder(data, receipt);
    RepairRecord::LogUsage((pickup ? QStringLiteral("打印取机单：") : QStringLiteral("打印维修单：")) +
                           m_visit.repairNo);
    if (SlipSink)
        SlipSink(report);
    else
        PreviewReportModal(report, this);
    return true;
}

bool TFrmRepairInput::PrintOrder()
{
    if ((m_modified || m_visit.repairID == 0) && !Save())
        return false;
    return ShowSlip(false);
}

bool TFrmRepairInput::PrintPickup()
{
    if (m_modified && !Save())
        return false;
    return ShowSlip(true);
}

void TFrmRepairInput::BtnPrintOrderClick()
{
    PrintOrder();
}

void TFrmRepairInput::BtnPrintPickupClick()
{
    PrintPickup();
}

void TFrmRepairInput::BtnSavePrintClick()
{
    if (Save())
        ShowSlip(false);
}

void TFrmRepairInput::BtnHistoryClick()
{
    if (m_sale.found)
        ShowRepairHistory(m_sale.id, this);
}

void TFrmRepairInput::BtnAddSwapClick()
{
    RepairSwapLine line;
    line.component = QStringLiteral("内存");
    line.covered = m_ui->CmbWarranty->currentIndex() == 0;
    if (m_sale.found)
        for (const auto& [caption, model] : RepairRecord::CurrentConfiguration(m_sale.id))
            if (caption == line.component)
                line.oldModel = model;
    const int row = m_ui->GrdSwaps->rowCount();
    m_ui->GrdSwaps->insertRow(row);
    SetSwapRow(row, line);
    MarkModified();
    m_ui->GrdSwaps->setCurrentCell(row, ColNewModel);
}

void TFrmRepairInput::BtnDelSwapClick()
{
    const int row = m_ui->GrdSwaps->currentRow();
    if (row < 0)
        return;
    m_ui->GrdSwaps->removeRow(row);
    MarkModified();
}

void TFrmRepairInput::CmbPhraseActivated(int index)
{
    if (index <= 0)
        return;
    const QString phrase = m_ui->CmbPhrase->itemText(index);
    QString text = m_ui->MemProblem->toPlainText().trimmed();
    m_ui->MemProblem->setPlainText(text.isEmpty() ? phrase : text + QStringLiteral("，") + phrase);
    m_ui->CmbPhrase->setCurrentIndex(0);
}

bool TFrmRepairInput::KeepTypedWork()
{
    if (!m_modified)
        return true;
    const Dialogs::Button answer =
        Dialogs::Instance().Ask(this,
                                {QStringLiteral("当前维修记录已修改，是否保存？"), QStringLiteral("维修登记"),
                                 Dialogs::Icon::Question},
                                Dialogs::Yes | Dialogs::No | Dialogs::Cancel, Dialogs::Yes);
    if (answer == Dialogs::Cancel)
        return false;
    if (answer == Dialogs::Yes)
        return Save();
    m_modified = false;
    return true;
}

void TFrmRepairInput::closeEvent(QCloseEvent* event)
{
    if (!KeepTypedWork()) {
        event->ignore();
        return;
    }
    TDefForm::closeEvent(event);
}
