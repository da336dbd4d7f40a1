#pragma once

#include "Dialogs.h"

#include <QList>
#include <QQueue>
#include <QStringList>

// The dialog service of the tests: records every box in the order shown and
// answers questions and file dialogs from queues filled beforehand.  A
// question nobody queued an answer for (or whose queued answer is not one of
// its buttons) fails the running test and is answered Cancel, or No.
// Installs itself while it lives.
class ScriptedDialogs : public Dialogs
{
public:
    struct Shown
    {
        QString text;
        QString caption;
        Icon icon = Icon::None;
        bool question = false;
        int buttons = Ok;
        Button defaultButton = Ok;
        Button answer = Ok;
    };

    ScriptedDialogs();
    ~ScriptedDialogs() override;
    ScriptedDialogs(const ScriptedDialogs&) = delete;
    ScriptedDialogs& operator=(const ScriptedDialogs&) = delete;

    void QueueAnswer(Button answer) { m_answers.enqueue(answer); }
    // An empty name answers the file dialog with "cancelled".
    void QueueFileName(const QString& fileName) { m_fileNames.enqueue({fileName}); }
    // The answer of a dialog that picks several files (none: cancelled).
    void QueueFileNames(const QStringList& fileNames) { m_fileNames.enqueue(fileNames); }

    const QList<Shown>& Boxes() const { return m_boxes; }
    // Texts of all boxes and questions, in order.
    QStringList Texts() const;
    QString LastText() const { return m_boxes.isEmpty() ? QString() : m_boxes.last().text; }
    const QList<FileRequest>& FileRequests() const { return m_fileRequests; }
    int PendingAnswers() const { return static_cast<int>(m_answers.size() + m_fileNames.size()); }
    // Forgets what was shown (the queues stay).
    void ClearRecords();

    // Set once something unexpected happened; Failures() says what.
    bool Failed() const { return !m_failures.isEmpty(); }
    const QStringList& Failures() const { return m_failures; }

    void Inform(QWidget* parent, const Message& message) override;
    Button Ask(QWidget* parent, const Message& message, int buttons, Button defaultButton) override;
    QString SaveFileName(QWidget* parent, const FileRequest& request) override;
    QString OpenFileName(QWidget* parent, const FileRequest& request) override;
    QStringList OpenFileNames(QWidget* parent, const FileRequest& request) override;
    // Answered from the file-name queue.
    QString ExistingDirectory(QWidget* parent, const FileRequest& request) override;

private:
    void Fail(const QString& what);
    QStringList NextFileNames(const FileRequest& request);

    QList<Shown> m_boxes;
    QList<FileRequest> m_fileRequests;
    QQueue<Button> m_answers;
    QQueue<QStringList> m_fileNames;
    QStringList m_failures;
};
