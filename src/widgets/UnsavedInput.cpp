#include "UnsavedInput.h"

#include "Dialogs.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSpinBox>
#include <QTextDocument>
#include <QTextEdit>
#include <QTreeWidget>

bool AskToSaveInput(QWidget* parent, const std::function<bool()>& save, const std::function<void()>& discard)
{
    const Dialogs::Button answer =
        Dialogs::Instance().Ask(parent,
                                {QStringLiteral("数据已修改，是否保存？"),
                                 QString(),
                                 Dialogs::Icon::Question,
                                 {{Dialogs::Yes, QStringLiteral("是")},
                                  {Dialogs::No, QStringLiteral("否")},
                                  {Dialogs::Cancel, QStringLiteral("取消")}}},
                                Dialogs::Yes | Dialogs::No | Dialogs::Cancel, Dialogs::Yes);
    if (answer == Dialogs::Yes)
        return save && save();
    if (answer == Dialogs::No) {
        if (discard)
            discard();
        return true;
    }
    return false;
}

InputWatch::InputWatch(QObject* parent) : QObject(parent) {}

void InputWatch::Watch(const QList<QWidget*>& inputs)
{
    for (QWidget* input : inputs)
        if (input)
            WatchOne(input);
}

void InputWatch::Touch()
{
    m_touched = true;
    emit touched();
}

void InputWatch::TouchIfFocused(QWidget* input)
{
    const QWidget* focus = QApplication::focusWidget();
    if (focus && (focus == input || input->isAncestorOf(focus)))
        Touch();
}

void InputWatch::WatchOne(QWidget* input)
{
    // Only signals the user's own actions raise, or changes made while the
    // input has the focus: filling the boxes from a record is no typing.
    if (auto* edit = qobject_cast<QLineEdit*>(input)) {
        connect(edit, &QLineEdit::textEdited, this, &InputWatch::Touch);
    } else if (auto* combo = qobject_cast<QComboBox*>(input)) {
        connect(combo, &QComboBox::activated, this, &InputWatch::Touch);
        if (combo->lineEdit())
            connect(combo->lineEdit(), &QLineEdit::textEdited, this, &InputWatch::Touch);
    } else if (auto* button = qobject_cast<QAbstractButton*>(input)) {
        connect(button, &QAbstractButton::clicked, this, &InputWatch::Touch);
    } else if (auto* memo = qobject_cast<QTextEdit*>(input)) {
        // Text set by the program clears the undo history; typing adds to it.
        connect(memo->document(), &QTextDocument::undoCommandAdded, this, &InputWatch::Touch);
    } else if (auto* plain = qobject_cast<QPlainTextEdit*>(input)) {
        connect(plain->document(), &QTextDocument::undoCommandAdded, this, &InputWatch::Touch);
    } else if (auto* date = qobject_cast<QDateTimeEdit*>(input)) {
        connect(date, &QDateTimeEdit::dateTimeChanged, this, [this, date] { TouchIfFocused(date); });
    } else if (auto* spin = qobject_cast<QAbstractSpinBox*>(input)) {
        if (auto* box = qobject_cast<QSpinBox*>(spin))
            connect(box, &QSpinBox::valueChanged, this, [this, box] { TouchIfFocused(box); });
    } else if (auto* tree = qobject_cast<QTreeWidget*>(input)) {
        connect(tree, &QTreeWidget::currentItemChanged, this, [this, tree] { TouchIfFocused(tree); });
    }
}

void InputWatch::WatchAll(QWidget* root)
{
    for (QWidget* child : root->findChildren<QWidget*>()) {
        // The line edit inside a combo or spin box belongs to it.
        if (qobject_cast<QLineEdit*>(child) && (qobject_cast<QComboBox*>(child->parentWidget()) ||
                                                qobject_cast<QAbstractSpinBox*>(child->parentWidget())))
            continue;
        const auto* button = qobject_cast<QAbstractButton*>(child);
        if ((button && button->isCheckable()) || qobject_cast<QLineEdit*>(child) ||
            qobject_cast<QComboBox*>(child) || qobject_cast<QAbstractSpinBox*>(child) ||
            qobject_cast<QTextEdit*>(child) || qobject_cast<QPlainTextEdit*>(child))
            WatchOne(child);
    }
}

void InputWatch::WatchChecks(QTreeWidget* tree)
{
    connect(tree, &QTreeWidget::itemChanged, this, [this, tree] { TouchIfFocused(tree); });
}
