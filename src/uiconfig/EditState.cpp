#include "EditState.h"

#include <QLabel>
#include <QPushButton>

void EditState::Bind(QLabel* lblState, QPushButton* btnSave, QPushButton* btnCancel)
{
    m_lblState = lblState;
    m_btnSave = btnSave;
    m_btnCancel = btnCancel;
}

void EditState::SetInputs(const QList<QWidget*>& inputs, const QList<QWidget*>& coloured)
{
    m_inputs = inputs;
    m_coloured = coloured;
}

void EditState::SetInputEnabled(QWidget* input, bool enabled, bool coloured)
{
    input->setEnabled(enabled);
    if (!coloured)
        return;
    // A rule for this one widget by name, so that it wins over the skin's
    // style sheet and does not reach the widget's scroll bars.
    // A disabled box keeps a dark text so that the record shown stays
    // readable on silver.
    const QString rule = enabled ? QStringLiteral("background-color: #FFFFFF;")
                                 : QStringLiteral("background-color: #C0C0C0; color: #303030;");
    input->setStyleSheet(QStringLiteral("#%1 { %2 }").arg(input->objectName(), rule));
}

void EditState::Enter(const QString& mode, const QString& stateText, const QList<QWidget*>& locked)
{
    EditMode = mode;
    if (m_lblState)
        m_lblState->setText(stateText);
    for (QWidget* input : m_inputs)
        SetInputEnabled(input, !locked.contains(input), m_coloured.contains(input));
    if (m_btnSave)
        m_btnSave->setEnabled(true);
    if (m_btnCancel)
        m_btnCancel->setEnabled(true);
}

void EditState::Browse()
{
    EditMode.clear();
    if (m_lblState)
        m_lblState->setText(QStringLiteral("浏览数据"));
    for (QWidget* input : m_inputs)
        SetInputEnabled(input, false, m_coloured.contains(input));
    if (m_btnSave)
        m_btnSave->setEnabled(false);
    if (m_btnCancel)
        m_btnCancel->setEnabled(false);
}
