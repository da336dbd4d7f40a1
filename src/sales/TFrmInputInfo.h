#pragma once

#include "WarrantyCard.h"

#include <QDialog>
#include <memory>
#include <optional>

namespace Ui {
class TFrmInputInfo;
}
class InputWatch;
class TQuickReport1;
class QDateEdit;

// The customer and machine entry dialog "客户信息输入": records a sale, edits
// one opened from the record manager, and previews or prints its warranty
// card.  Add mode while BtnAdd is visible, edit mode while BtnModify is; the
// caller sets the mode, the dialog never changes it.  Closing it in any way
// is announced through SaleEntryEvents.
class TFrmInputInfo : public QDialog
{
    Q_OBJECT
public:
    explicit TFrmInputInfo(QWidget* parent = nullptr);
    ~TFrmInputInfo() override;

    // Empties every box and the remarks, amount "1", class "一般客户"; the
    // dates stay as they are.
    void ClearEntry();
    // Writes the boxes to SaleInfo: a new row in add mode, the row of
    // SetRecordId in edit mode.  Errors are shown; false then and
    // nothing is stored.
    bool SaveSaleRecord();
    // Typed into the boxes since the dialog was shown, cleared or saved.
    bool HasUnsavedInput() const;
    // The card's texts: the boxes as they stand, the company profile and the
    // software name.  None, with the message shown, when the profile cannot
    // be read.
    std::optional<WarrantyCardData> FillWarrantyCard();

    bool IsAddMode() const;
    // Shows BtnAdd and hides BtnModify (add), or the reverse (edit).
    void SetAddMode(bool add);
    // The SaleInfo row that edit mode writes ("修改"); -1: none.  A save
    // after another desk saved the record is refused with a message, nothing
    // written: `rowVersion` is the version the boxes' values were read with
    // (a list that carries it); without it the version is read now.
    void SetRecordId(qint64 id, std::optional<qint64> rowVersion = std::nullopt);
    // Sets both dates as code, so the warranty date is not moved.  An
    // invalid date (a stored one that could not be read) shows an empty box,
    // and saving leaves that column as it is stored.
    void SetDates(const QDate& buyDate, const QDate& warrantyEnd);

    // The boxes, for the record manager that fills them from a list row.
    Ui::TFrmInputInfo* Controls() const { return m_ui.get(); }

public slots:
    // "添加" and "修改": required name and address, then SaveSaleRecord.
    void BtnAddClick();
    void BtnPreviewClick();
    void BtnPrintClick();
    void BtnExit1Click();
    // "修改记录": the change history of the record on show.
    void BtnHistoryClick();

private slots:
    void DateBuyChange();
    void EAmountChange();

protected:
    // Closing with typed input that is not saved asks first.
    void done(int result) override;
    void showEvent(QShowEvent* event) override;

private:
    TQuickReport1& Card();
    // Required name and address (the focus goes to the empty one), then
    // SaveSaleRecord.
    bool SaveEntry();
    // 修改记录 needs a stored record.
    void UpdateHistoryButton();
    // The number of the record on show: the one being edited, or the one
    // this add-mode dialog stored last; -1 when it is not saved yet.
    qint64 ShownRecordId() const;
    // false while the box is empty (see SetDates).
    static bool DateRead(const QDateEdit* edit);

    std::unique_ptr<Ui::TFrmInputInfo> m_ui;
    std::unique_ptr<TQuickReport1> m_card;
    bool m_settingDates = false;
    qint64 m_addedId = -1;
    qint64 m_recordId = -1;
    qint64 m_rowVersion = -1;
    InputWatch* m_watch = nullptr;
};

// The one entry dialog of the program, made on first use (a child of the
// main window when there is one).
TFrmInputInfo* FrmInputInfo();
