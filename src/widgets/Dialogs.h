#pragma once

#include <QMap>
#include <QString>
#include <QStringList>

class QWidget;

// Every message box, question and file dialog of the program goes through
// this one service.  The application installs the real implementation
// (QtDialogs); tests install ScriptedDialogs, which records every text shown
// and answers questions from a queue.
class Dialogs
{
public:
    enum class Icon { None, Information, Warning, Critical, Question };
    // Buttons a question offers; the answer is one of them.
    enum Button { Ok = 0x1, Cancel = 0x2, Yes = 0x4, No = 0x8 };

    struct Message
    {
        QString text;
        QString caption;
        Icon icon = Icon::Information;
        // Own texts for some of a question's buttons ("创建空数据库" instead
        // of "是"); the others keep their standard texts.
        QMap<int, QString> buttonTexts = {};
    };

    struct FileRequest
    {
        QString title;
        // Filter in the "描述|*.ext|描述|*.ext" form used by the program,
        // e.g. "Excel文件|*.xlsx|所有文件|*.*".
        QString filter;
        QString defaultSuffix;
        QString directory;
        bool confirmOverwrite = true;
    };

    virtual ~Dialogs() = default;

    // A plain box with an OK button.
    virtual void Inform(QWidget* parent, const Message& message) = 0;
    // A box with the given buttons; returns the button chosen.  Closing the
    // box without choosing returns the escape answer (Cancel or No).
    virtual Button Ask(QWidget* parent, const Message& message, int buttons, Button defaultButton) = 0;
    // File dialogs; an empty result means the user cancelled.
    virtual QString SaveFileName(QWidget* parent, const FileRequest& request) = 0;
    virtual QString OpenFileName(QWidget* parent, const FileRequest& request) = 0;
    // Several existing files at once, in the order chosen; empty: cancelled.
    virtual QStringList OpenFileNames(QWidget* parent, const FileRequest& request) = 0;
    // An existing folder (the request's title and starting directory);
    // empty: cancelled.  The base asks with the platform's folder dialog.
    virtual QString ExistingDirectory(QWidget* parent, const FileRequest& request);

    // The service in force (never null: a real one is installed on first use).
    static Dialogs& Instance();
    // Installs a service; the caller keeps ownership.  nullptr restores the real one.
    static void Install(Dialogs* dialogs);

    // "Excel文件|*.xlsx|所有文件|*.*" -> "Excel文件 (*.xlsx);;所有文件 (*.*)";
    // several patterns of one entry ("*.jpg;*.png") become "(*.jpg *.png)".
    static QString QtFilter(const QString& filter);
};

// The real service: QMessageBox and QFileDialog.  A message without a caption
// gets the application title.
class QtDialogs : public Dialogs
{
public:
    void Inform(QWidget* parent, const Message& message) override;
    Button Ask(QWidget* parent, const Message& message, int buttons, Button defaultButton) override;
    QString SaveFileName(QWidget* parent, const FileRequest& request) override;
    QString OpenFileName(QWidget* parent, const FileRequest& request) override;
    QStringList OpenFileNames(QWidget* parent, const FileRequest& request) override;
};

// Shorthands used all over the forms.
void ShowMessage(const QString& text, QWidget* parent = nullptr);
void ShowError(const QString& text, const QString& caption = QString(), QWidget* parent = nullptr);
