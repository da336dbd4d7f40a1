#pragma once

#include "UnsavedInput.h"

#include <QList>
#include <QString>

class QLabel;
class QPushButton;
class QWidget;

// The browse/edit state every configuration form keeps: EditMode ("" for
// browsing, "ADD", "ADDSAME", "ADDCHILD" or "UPDATE"), the status label
// lblState, the Save and Cancel buttons and the inputs.  While browsing the
// inputs are disabled and their boxes silver; while editing they are enabled
// and white.
class EditState
{
public:
    void Bind(QLabel* lblState, QPushButton* btnSave, QPushButton* btnCancel);
    // All inputs of the form; `coloured` are those whose box turns silver or
    // white (edit boxes, memos, pickers).
    void SetInputs(const QList<QWidget*>& inputs, const QList<QWidget*>& coloured);

    // Enters an edit mode: Save and Cancel enabled, every input enabled except
    // `locked`, which stay disabled and silver.
    void Enter(const QString& mode, const QString& stateText, const QList<QWidget*>& locked = {});
    // Back to browsing: "浏览数据", inputs, Save and Cancel disabled.
    void Browse();

    QString EditMode;

    // In an edit mode with input the user typed since entering it (or since
    // the last save).
    bool Modified() const { return !EditMode.isEmpty() && m_watch.Touched(); }
    // What the inputs hold is stored (the form stays in its mode).
    void MarkSaved() { m_watch.Reset(); }
    InputWatch& Watch() { return m_watch; }

    // Enables or disables one input and colours its box to match.
    static void SetInputEnabled(QWidget* input, bool enabled, bool coloured = true);

private:
    QLabel* m_lblState = nullptr;
    QPushButton* m_btnSave = nullptr;
    QPushButton* m_btnCancel = nullptr;
    QList<QWidget*> m_inputs;
    QList<QWidget*> m_coloured;
    InputWatch m_watch;
};
