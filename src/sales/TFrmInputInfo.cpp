#include "TFrmInputInfo.h"

#include "ChangeHistoryDialog.h"
#include "Dialogs.h"
#include "GbkLengthValidator.h"
#include "QuickReport1.h"
#include "SaleEntryEvents.h"
#include "SaleRecord.h"
#include "Settings.h"
#include "Shell.h"
#include "TDataM.h"
#include "UnsavedInput.h"
#include "WarrantyCardCode.h"
#include "ui_TFrmInputInfo.h"

#include <QPointer>
#include <QRegularExpressionValidator>
#include <QShowEvent>

namespace {

// The design size of the dialog's client area; it only grows when the
// system's fonts need more room.
constexpr int DesignWidth = 569;
constexpr int DesignHeight = 412;

// A date box at this date shows nothing: the record's stored date could not
// be read.  Nobody sells a PC on it.
const QDate UnreadDate(1900, 1, 1);

} // namespace

TFrmInputInfo::TFrmInputInfo(QWidget* parent) : QDialog(parent), m_ui(std::make_unique<Ui::TFrmInputInfo>())
{
    m_ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);

    // Typing limits in GBK bytes, as the columns count them.
    const std::pair<QLineEdit*, int> limits[] = {
        {m_ui->EUser, 8},     {m_ui->EMobile, 15},   {m_ui->EPhone, 20},       {m_ui->EFax, 20},
        {m_ui->EAddr, 100},   {m_ui->ECPU, 40},      {m_ui->EMainBoard, 40},   {m_ui->EMemory, 40},
        {m_ui->EHD, 40},      {m_ui->ESound, 40},    {m_ui->EDisPlayCard, 40}, {m_ui->ECDROM, 40},
        {m_ui->EFloppy, 40},  {m_ui->EKeyBoard, 40}, {m_ui->EMouse, 40},       {m_ui->EDisPlay, 40},
        {m_ui->EBox, 40},     {m_ui->EPower, 40},    {m_ui->ESoundBox, 40},    {m_ui->EPrint, 40},
        {m_ui->ENetWork, 40}, {m_ui->EModem, 40},    {m_ui->EOther, 200}};
    for (const auto& [edit, bytes] : limits)
        GbkLengthValidator::Apply(edit, bytes);
    m_ui->EAmount->setMaxLength(3);
    m_ui->EAmount->setValidator(new QRegularExpressionValidator(QRegularExpression("[0-9]*"), m_ui->EAmount));

    for (QDateEdit* edit : {m_ui->DateBuy, m_ui->DateBao}) {
        edit->setMinimumDate(UnreadDate);
        edit->setSpecialValueText(QStringLiteral(" "));
    }

    m_watch = new InputWatch(this);
    QList<QWidget*> inputs;
    for (QLineEdit* edit : findChildren<QLineEdit*>())
        if (edit->objectName().startsWith('E'))
            inputs << edit;
    inputs << m_ui->Memo << m_ui->CmbQuality << m_ui->DateBuy << m_ui->DateBao;
    m_watch->Watch(inputs);

    m_ui->BtnModify->setVisible(false);
    connect(m_ui->BtnAdd, &QPushButton::clicked, this, &TFrmInputInfo::BtnAddClick);
    connect(m_ui->BtnModify, &QPushButton::clicked, this, &TFrmInputInfo::BtnAddClick);
    connect(m_ui->BtnPreview, &QPushButton::clicked, this, &TFrmInputInfo::BtnPreviewClick);
    connect(m_ui->BtnPrint, &QPushButton::clicked, this, &TFrmInputInfo::BtnPrintClick);
    connect(m_ui->BtnExit1, &QPushButton::clicked, this, &TFrmInputInfo::BtnExit1Click);
    connect(m_ui->BtnHistory, &QPushButton::clicked, this, &TFrmInputInfo::BtnHistoryClick);
    connect(m_ui->DateBuy, &QDateEdit::dateChanged, this, &TFrmInputInfo::DateBuyChange);
    connect(m_ui->EAmount, &QLineEdit::textChanged, this, &TFrmInputInfo::EAmountChange);

    ClearEntry();
    const QDate today = QDate::currentDate();
    SetDates(today, SaleRecord::DefaultWarrantyEnd(today));
    m_ui->EUser->setFocus();

    // Fixed size: the design size, or the least the fonts in force need.
    const QSize needed = minimumSizeHint();
    setFixedSize(qMax(DesignWidth, needed.width()), qMax(DesignHeight, needed.height()));
}

TFrmInputInfo::~TFrmInputInfo() = default;

void TFrmInputInfo::ClearEntry()
{
    for (QLineEdit* edit : findChildren<QLineEdit*>())
        if (edit->objectName().startsWith('E'))
            edit->clear();
    m_ui->Memo->clear();
    m_addedId = -1;
    UpdateHistoryButton();
    m_ui->EAmount->setText("1");
    m_ui->CmbQuality->setCurrentIndex(0);
    m_watch->Reset();
}

bool TFrmInputInfo::HasUnsavedInput() const
{
    return m_watch->Touched();
}

bool TFrmInputInfo::IsAddMode() const
{
    return !m_ui->BtnAdd->isHidden();
}

void TFrmInputInfo::SetAddMode(bool add)
{
    m_ui->BtnAdd->setVisible(add);
    m_ui->BtnModify->setVisible(!add);
    if (add)
        m_recordId = -1;
    UpdateHistoryButton();
    // A new sale always has its dates: empty ones left by a record whose
    // dates could not be read become today's.
    if (add && (!DateRead(m_ui->DateBuy) || !DateRead(m_ui->DateBao))) {
        const QDate today = QDate::currentDate();
        SetDates(today, SaleRecord::DefaultWarrantyEnd(today));
    }
}

void TFrmInputInfo::SetDates(const QDate& buyDate, const QDate& warrantyEnd)
{
    // An invalid date empties its box rather than leaving the one shown before.
    m_settingDates = true;
    m_ui->DateBuy->setDate(buyDate.isValid() ? buyDate : UnreadDate);
    m_ui->DateBao->setDate(warrantyEnd.isValid() ? warrantyEnd : UnreadDate);
    m_settingDates = false;
}

void TFrmInputInfo::SetRecordId(qint64 id, std::optional<qint64> rowVersion)
{
    m_recordId = id;
    // Saving writes only over this version.  A record that cannot be read
    // keeps none, and its save is refused.
    if (!rowVersion && id >= 0)
        rowVersion = SaleRecord::ReadRowVersion(id);
    m_rowVersion = rowVersion.value_or(-1);
    UpdateHistoryButton();
}

void TFrmInputInfo::UpdateHistoryButton()
{
    m_ui->BtnHistory->setEnabled(ShownRecordId() >= 0);
}

void TFrmInputInfo::BtnHistoryClick()
{
    const qint64 id = ShownRecordId();
    if (id < 0)
        return;
    ChangeHistoryDialog::Show(this, QStringLiteral("SaleInfo"), QString::number(id),
                              QStringLiteral("销售记录 %1 的修改记录（最新的在前）").arg(id));
}

bool TFrmInputInfo::DateRead(const QDateEdit* edit)
{
    return edit->date() != UnreadDate;
}

void TFrmInputInfo::DateBuyChange()
{
    // Only a date the user chose moves the warranty; one set by code does not.
    if (m_settingDates)
        return;
    m_ui->DateBao->setDate(SaleRecord::DefaultWarrantyEnd(m_ui->DateBuy->date()));
}

void TFrmInputInfo::EAmountChange()
{
    const QString text = m_ui->EAmount->text();
    if (text.trimmed().isEmpty() || text == "0")
        m_ui->EAmount->setText("1");
}

void TFrmInputInfo::BtnAddClick()
{
    SaveEntry();
}

bool TFrmInputInfo::SaveEntry()
{
    // Required fields are enforced by moving the focus, without a message.
    if (SaleRecord::IsBlank(m_ui->EUser->text())) {
        m_ui->EUser->setFocus();
        return false;
    }
    if (SaleRecord::IsBlank(m_ui->EAddr->text())) {
        m_ui->EAddr->setFocus();
        return false;
    }
    if (!SaveSaleRecord())
        return false;
    m_watch->Reset();
    return true;
}

bool TFrmInputInfo::SaveSaleRecord()
{
    using SaleRecord::TextOrNone;
    if (!IsAddMode() && m_recordId < 0) {
        ShowError(QStringLiteral("没有选定要修改的客户记录。"), QString(), this);
        return false;
    }

    const Ui::TFrmInputInfo& ui = *m_ui;
    QVector<std::pair<QString, QVariant>> values = {
        {"Name", ui.EUser->text()},
        {"Mobile", TextOrNone(ui.EMobile->text())},
        {"Phone", TextOrNone(ui.EPhone->text())},
        {"Fax", TextOrNone(ui.EFax->text())},
        {"addr", ui.EAddr->text()},
        {"BuyAmount", ui.EAmount->text()},
        {"TB", QString::number(ui.CmbQuality->currentIndex())},
    };
    // Dates are stored as their day alone (midnight).  An empty date box
    // leaves the stored value as it was: what could not be read is not lost.
    if (DateRead(ui.DateBuy))
        values.append({"BuyDate", ui.DateBuy->date()});
    if (DateRead(ui.DateBao))
        values.append({"OverRun", ui.DateBao->date()});
    const std::pair<const char*, const QLineEdit*> components[] = {
        {"CPU", ui.ECPU},         {"MainBoard", ui.EMainBoard}, {"Memory", ui.EMemory},
        {"HD", ui.EHD},           {"Sound", ui.ESound},         {"DisplayCard", ui.EDisPlayCard},
        {"CDROM", ui.ECDROM},     {"Floppy", ui.EFloppy},       {"KeyBoard", ui.EKeyBoard},
        {"Mouse", ui.EMouse},     {"Display", ui.EDisPlay},     {"Box", ui.EBox},
        {"Power", ui.EPower},     {"SoundBox", ui.ESoundBox},   {"Print", ui.EPrint},
        {"NetWork", ui.ENetWork}, {"Modem", ui.EModem},         {"Other", ui.EOther}};
    for (const auto& [column, edit] : components)
        values.append({column, TextOrNone(edit->text())});
    values.append({"Memo", TextOrNone(ui.Memo->toPlainText())});

    if (!IsAddMode()) {
        // Written only if nobody saved the record since it was opened; the
        // boxes keep what the user typed whatever the outcome.
        QString error;
        switch (SaleRecord::UpdateRecord(m_recordId, &m_rowVersion, values, &error)) {
        case SaleRecord::UpdateOutcome::Saved:
            return true;
        case SaleRecord::UpdateOutcome::ChangedElsewhere:
        case SaleRecord::UpdateOutcome::Deleted:
            Dialogs::Instance().Inform(this, {error, windowTitle(), Dialogs::Icon::Warning});
            return false;
        case SaleRecord::UpdateOutcome::Failed:
            break;
        }
        ShowError(error, QString(), this);
        return false;
    }

    TableDataset& query = DataM->ADOQuery1;
    query.Close();
    // Appending needs the table's fields, not its rows.
    if (!query.Open("SaleInfo", "where 1=0")) {
        ShowError(query.ErrorString(), QString(), this);
        query.Close();
        return false;
    }
    query.Append();
    for (const auto& [column, value] : values)
        query.SetValue(column, value);
    const bool posted = query.Post();
    if (posted) {
        m_addedId = query.AsInteger("id");
        UpdateHistoryButton();
    }
    const QString error = query.ErrorString();
    query.Close();
    if (!posted)
        ShowError(error, QString(), this);
    return posted;
}

std::optional<WarrantyCardData> TFrmInputInfo::FillWarrantyCard()
{
    const Ui::TFrmInputInfo& ui = *m_ui;
    WarrantyCardData card;
    card.LblIncName = Settings::SoftName();
    card.LblPrintDate = SaleRecord::DateText(QDate::currentDate());
    card.LblName = ui.EUser->text();
    card.LblPhone = ui.EPhone->text();
    card.LblFax = ui.EFax->text();
    card.Lblmobile = ui.EMobile->text();
    card.LblBuyAmount = ui.EAmount->text();
    card.LblAddr = ui.EAddr->text();
    card.LblBuyDate = DateRead(ui.DateBuy) ? SaleRecord::DateText(ui.DateBuy->date()) : QString();
    card.LblOverRun = DateRead(ui.DateBao) ? SaleRecord::DateText(ui.DateBao->date()) : QString();
    card.LblCpu = ui.ECPU->text();
    card.Lblmouse = ui.EMouse->text();
    card.Lblmainboard = ui.EMainBoard->text();
    card.Lbldisplay = ui.EDisPlay->text();
    card.LblMemory = ui.EMemory->text();
    card.Lblbox = ui.EBox->text();
    card.LblHD = ui.EHD->text();
    card.LblPower = ui.EPower->text();
    card.LblSound = ui.ESound->text();
    card.LblSoundBox = ui.ESoundBox->text();
    card.LbldisplayCard = ui.EDisPlayCard->text();
    card.LblPrint = ui.EPrint->text();
    card.LblCDROM = ui.ECDROM->text();
    card.LblNetWork = ui.ENetWork->text();
    card.Lblfloppy = ui.EFloppy->text();
    card.LblModem = ui.EModem->text();
    card.LblKeyBoard = ui.EKeyBoard->text();
    card.LblOther = ui.EOther->text();
    card.QMemo = ui.Memo->toPlainText();

    // The company profile is the first row; without one the footer stays
    // empty.  A profile that cannot be read prints no card: a card without
    // the shop's promises would go to the customer as if complete.
    QString shop;
    TableDataset& query = DataM->ADOQuery1;
    query.Close();
    if (!query.Open("AC_Company")) {
        ShowError(QStringLiteral("读取本单位信息失败：") + query.ErrorString(), QString(), this);
        query.Close();
        return std::nullopt;
    }
    if (!query.IsEmpty()) {
        card.LblCN1 = query.AsString("cn1");
        card.LblCN2 = query.AsString("cn2");
        card.LblCN3 = query.AsString("cn3");
        card.LblIncAddr = query.AsString("addr");
        card.LblIncMail = query.AsString("Mail");
        card.LblIncWeb = query.AsString("Web");
        card.LblIncPhone = query.AsString("Phone");
        card.LblIncFax = query.AsString("Fax");
        card.LblIncPhone1 = query.AsString("Phone1");
        shop = query.AsString("name");
    }
    query.Close();
    card.QRCode = WarrantyCardCodeText(ShownRecordId(), ui.EUser->text(),
                                       DateRead(ui.DateBuy) ? ui.DateBuy->date() : QDate(),
                                       DateRead(ui.DateBao) ? ui.DateBao->date() : QDate(), shop);
    Card().Fill(card);
    return card;
}

qint64 TFrmInputInfo::ShownRecordId() const
{
    if (IsAddMode())
        return m_addedId;
    return m_recordId;
}

TQuickReport1& TFrmInputInfo::Card()
{
    if (!m_card)
        m_card = std::make_unique<TQuickReport1>();
    return *m_card;
}

void TFrmInputInfo::BtnPreviewClick()
{
    if (FillWarrantyCard())
        Card().Preview(this);
}

void TFrmInputInfo::BtnPrintClick()
{
    if (!FillWarrantyCard())
        return;
    QString error;
    if (!Card().Print(&error, this) && !error.isEmpty())
        ShowMessage(error, this);
}

void TFrmInputInfo::BtnExit1Click()
{
    close();
}

void TFrmInputInfo::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // What the caller filled in is the starting point.
    if (!event->spontaneous())
        m_watch->Reset();
}

void TFrmInputInfo::done(int result)
{
    if (result == QDialog::Rejected && isVisible() && HasUnsavedInput() &&
        !AskToSaveInput(this, [this] { return SaveEntry(); }))
        return;
    QDialog::done(result);
    // However the dialog closes, an open record manager shows the rows of
    // its last toolbar filter again.
    emit SaleEntryEvents::Instance()->entryClosed();
}

TFrmInputInfo* FrmInputInfo()
{
    static QPointer<TFrmInputInfo> instance;
    if (!instance)
        instance = new TFrmInputInfo(Shell::Instance() ? Shell::Instance()->MainWindow() : nullptr);
    return instance;
}
