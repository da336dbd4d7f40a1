#include "ScriptedDialogs.h"

#include <QTest>

ScriptedDialogs::ScriptedDialogs()
{
    Dialogs::Install(this);
}

ScriptedDialogs::~ScriptedDialogs()
{
    if (&Dialogs::Instance() == this)
        Dialogs::Install(nullptr);
    // Answers left over mean the test expected a question that never came.
    if (!m_answers.isEmpty() || !m_fileNames.isEmpty())
        Fail(QStringLiteral("%1 scripted answer(s) never used").arg(PendingAnswers()));
}

QStringList ScriptedDialogs::Texts() const
{
    QStringList texts;
    for (const Shown& box : m_boxes)
        texts << box.text;
    return texts;
}

void ScriptedDialogs::ClearRecords()
{
    m_boxes.clear();
    m_fileRequests.clear();
}

void ScriptedDialogs::Fail(const QString& what)
{
    m_failures << what;
    // Inside a running test function the test fails at once; elsewhere the
    // flag is all there is.
    if (QTest::currentTestFunction())
        QTest::qFail(qPrintable(QStringLiteral("ScriptedDialogs: ") + what), __FILE__, __LINE__);
    else
        qWarning("ScriptedDialogs: %s", qPrintable(what));
}

void ScriptedDialogs::Inform(QWidget*, const Message& message)
{
    m_boxes.append({message.text, message.caption, message.icon, false, Ok, Ok, Ok});
}

Dialogs::Button ScriptedDialogs::Ask(QWidget*, const Message& message, int buttons, Button defaultButton)
{
    const Button escape = (buttons & Cancel) ? Cancel : (buttons & No) ? No : Ok;
    Button answer = escape;
    if (m_answers.isEmpty()) {
        Fail(QStringLiteral("unexpected question \"%1\"").arg(message.text));
    } else if (!(buttons & m_answers.head())) {
        Fail(QStringLiteral("queued answer %1 is not a button of \"%2\"")
                 .arg(m_answers.dequeue())
                 .arg(message.text));
    } else {
        answer = m_answers.dequeue();
    }
    m_boxes.append({message.text, message.caption, message.icon, true, buttons, defaultButton, answer});
    return answer;
}

QStringList ScriptedDialogs::NextFileNames(const FileRequest& request)
{
    m_fileRequests.append(request);
    if (m_fileNames.isEmpty()) {
        Fail(QStringLiteral("unexpected file dialog \"%1\"").arg(request.title));
        return {};
    }
    QStringList names = m_fileNames.dequeue();
    names.removeAll(QString());
    return names;
}

QString ScriptedDialogs::SaveFileName(QWidget*, const FileRequest& request)
{
    return NextFileNames(request).value(0);
}

QString ScriptedDialogs::OpenFileName(QWidget*, const FileRequest& request)
{
    return NextFileNames(request).value(0);
}

QStringList ScriptedDialogs::OpenFileNames(QWidget*, const FileRequest& request)
{
    return NextFileNames(request);
}

QString ScriptedDialogs::ExistingDirectory(QWidget*, const FileRequest& request)
{
    return NextFileNames(request).value(0);
}
