#include "EditState.h"

#include "InputShade.h"

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
    m_watch.Watch(inputs);
}

void EditState::SetInputEnabled(QWidget* input, bool enabled, bool coloured)
{
    input->setEnabled(enabled);
    if (coloured)
        ShadeInput(input, enabled);
}

void EditState::Enter(const QString& mode, const QString& stateText, const QList<QWidget*>& locked)
{
    EditMode = mode;
    m_watch.Reset();
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
    m_watch.Reset();
    if (m_lblState)
        m_lblState->setText(QStringLiteral("浏览数据"));
    for (QWidget* input : m_inputs)
        SetInputEnabled(input, false, m_coloured.contains(input));
    if (m_btnSave)
        m_btnSave->setEnabled(false);
    if (m_btnCancel)
        m_btnCancel->setEnabled(false);
}
