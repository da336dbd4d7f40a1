#pragma once

#include <QObject>
#include <QPointer>
#include <functional>

class QTreeWidget;
class QWidget;

// The one question asked wherever typed input would be lost (a form closes,
// another row is selected, the user logs in again or off, the program ends):
// "数据已修改，是否保存？" with 是 / 否 / 取消.  是 runs `save` and lets the
// caller go on only when it succeeded; 否 runs `discard` and goes on; 取消
// (or closing the box) stays.  Returns true when the caller may go on.
bool AskToSaveInput(QWidget* parent, const std::function<bool()>& save,
                    const std::function<void()>& discard = {});

// Notices what the user types or picks in a set of inputs, as opposed to what
// the program puts there: a text typed, a box ticked, an entry chosen, a date
// changed while the box has the focus, a node picked or ticked in a tree, a
// button (add or remove a grant) pressed.  Touched() stays set until Reset().
class InputWatch : public QObject
{
    Q_OBJECT
public:
    explicit InputWatch(QObject* parent = nullptr);

    // Watches these widgets (in addition to those watched before).  A tree
    // is a picker: the node made current by the user is the value.
    void Watch(const QList<QWidget*>& inputs);
    // A tree whose ticks are the value (a role's functions).
    void WatchChecks(QTreeWidget* tree);
    // Every input below `root`: boxes, lists, spin and date boxes and the
    // buttons that can be ticked.
    void WatchAll(QWidget* root);
    bool Touched() const { return m_touched; }
    void Reset() { m_touched = false; }
    // Marks the input as changed (a change the watch cannot see by itself).
    void Touch();

signals:
    void touched();

private:
    void WatchOne(QWidget* input);
    // A change made while the input (or one of its children) has the focus
    // is the user's.
    void TouchIfFocused(QWidget* input);

    bool m_touched = false;
};
