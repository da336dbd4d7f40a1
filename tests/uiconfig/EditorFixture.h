#pragma once

#include "DataAccess.h"
#include "ScriptedDialogs.h"
#include "TestEnv.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <functional>
#include <memory>

// What the tests of the configuration editors share: a fresh database with
// the built-in configuration, the scripted dialogs, the editor shown
// offscreen, and small readers of trees, lists and tables.
template <typename Form> class EditorFixture
{
public:
    EditorFixture() : form(std::make_unique<Form>()) { form->show(); }

    TestEnv env;
    ScriptedDialogs dialogs;
    std::unique_ptr<Form> form;

    // A new instance of the editor on the same database.
    void Reopen()
    {
        form = std::make_unique<Form>();
        form->show();
    }
    template <typename W = QWidget> W* Control(const char* name) const
    {
        return form->template findChild<W*>(QString::fromLatin1(name));
    }
    // Clicks a button the way a user does: a disabled one does nothing.
    void Click(const char* name) const
    {
        auto* button = Control<QAbstractButton>(name);
        QVERIFY2(button, name);
        button->click();
    }
    bool Enabled(const char* name) const
    {
        QWidget* control = Control(name);
        return control && control->isEnabled();
    }
};

// Every value of one query as "a|b|c" lines.
inline QStringList Rows(const QString& sql, const SqlArgs& args = {})
{
    MemDataset data;
    QStringList lines;
    if (!OpenQuery(sql, data, args))
        return {QStringLiteral("<query failed>")};
    for (data.First(); !data.Eof(); data.Next()) {
        QStringList values;
        for (int i = 0; i < data.FieldCount(); ++i)
            values << data.Value(i).toString();
        lines << values.join(QLatin1Char('|'));
    }
    return lines;
}

// Typed into the input as the keyboard would (any characters).
inline void TypeText(QWidget* input, const QString& text)
{
    QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, text);
    QApplication::sendEvent(input, &press);
}

inline QString One(const QString& sql, const SqlArgs& args = {})
{
    const QStringList rows = Rows(sql, args);
    return rows.isEmpty() ? QString() : rows.first();
}

// Captions in tree order, two spaces of indent per level.
inline QStringList Outline(const QTreeWidget* tree)
{
    QStringList lines;
    std::function<void(QTreeWidgetItem*, int)> walk = [&](QTreeWidgetItem* node, int depth) {
        lines << QString(depth * 2, QLatin1Char(' ')) + node->text(0);
        for (int i = 0; i < node->childCount(); ++i)
            walk(node->child(i), depth + 1);
    };
    for (int i = 0; i < tree->topLevelItemCount(); ++i)
        walk(tree->topLevelItem(i), 0);
    return lines;
}

inline QTreeWidgetItem* NodeByText(QTreeWidget* tree, const QString& text)
{
    for (QTreeWidgetItemIterator it(tree); *it; ++it) {
        if ((*it)->text(0) == text)
            return *it;
    }
    return nullptr;
}

inline void SelectNode(QTreeWidget* tree, QTreeWidgetItem* node)
{
    tree->setCurrentItem(node);
    if (node)
        node->setSelected(true);
}

inline void ClearSelection(QTreeWidget* tree)
{
    tree->setCurrentItem(nullptr);
    tree->clearSelection();
}

// The cells of a report list, one "a|b|c" line per row.
inline QStringList ListRows(const QTableWidget* list)
{
    QStringList lines;
    for (int row = 0; row < list->rowCount(); ++row) {
        QStringList cells;
        for (int column = 0; column < list->columnCount(); ++column)
            cells << (list->item(row, column) ? list->item(row, column)->text() : QString());
        lines << cells.join(QLatin1Char('|'));
    }
    return lines;
}

// Runs `check` while the modal dialog opened by `open` is up, then closes it.
inline void WhileModal(const std::function<void()>& open, const std::function<void(QDialog*)>& check)
{
    bool ran = false;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        check(dialog);
        ran = true;
        dialog->close();
    });
    open();
    QVERIFY(ran);
}
