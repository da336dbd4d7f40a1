#pragma once

#include "EditState.h"
#include "TDefForm.h"
#include "ToolbarTable.h"

#include <memory>

namespace Ui {
class TfrmToolCfg;
}

// "工具栏设置": edits the toolbar table.  The list shows every button with its
// icon in OrderNum order; buttons are added, edited and deleted, moved with
// ▲/▼ on screen only, and "保存按钮顺序" stores the list order as 1, 2, 3 ….
// The main window's toolbar follows every stored change at once.  Moves not
// yet stored count as typed input, as an unsaved add or edit does.
class TfrmToolCfg : public TDefForm
{
    Q_OBJECT
public:
    explicit TfrmToolCfg(QWidget* parent = nullptr);
    ~TfrmToolCfg() override;

    QString EditMode() const { return m_state.EditMode; }
    qint64 CurrentButtonID() const { return m_currentButtonID; }
    // The button a list row carries.
    qint64 RowButtonID(int row) const;

    bool HasUnsavedInput() const override;
    bool SaveUnsavedInput() override;
    void DiscardUnsavedInput() override;

public slots:
    void FormShow();
    void btnAddClick();
    void btnEditClick();
    void btnSaveClick();
    void btnCancelClick();
    void btnDeleteClick();
    void btnClearSelFuncClick();
    void btnMoveUpClick();
    void btnMoveDownClick();
    void btnSaveSeqClick();
    // Puts the toolbar a new database starts with back, after a question.
    void btnRestoreDefaultClick();

protected:
    void showEvent(QShowEvent* event) override;

private:
    enum Column { ColIcon, ColOrder, ColText, ColShow, ColFunction, ColumnCount };
    void LoadButtonList();
    void SetRow(int row, const ToolButtonRow& button);
    ToolButtonRow RowButton(int row) const;
    void ShowRow(int row);
    // The list's current row changed: as ShowRow, but an add keeps what was
    // typed, and an edit with typed input asks first.
    void CurrentRowChanged(int row, int previous);
    void SelectRowQuietly(int row);
    bool SaveEdit();
    bool SaveOrder();
    bool MayStore(const ToolButtonRow& button, bool removed);
    void ClearInputs();
    int SelectedRow() const;
    void MoveSelected(int step);
    QVector<qint64> ListedButtonIDs() const;

    std::unique_ptr<Ui::TfrmToolCfg> ui;
    EditState m_state;
    qint64 m_currentButtonID = 0;
    bool m_shown = false;
    // ▲/▼ moved rows that "保存按钮顺序" has not stored yet.
    bool m_orderMoved = false;
};
