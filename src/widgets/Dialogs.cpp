#include "Dialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>

namespace {

Dialogs* g_installed = nullptr;

QMessageBox::Icon ToQtIcon(Dialogs::Icon icon)
{
    switch (icon) {
    case Dialogs::Icon::None:
        return QMessageBox::NoIcon;
    case Dialogs::Icon::Information:
        return QMessageBox::Information;
    case Dialogs::Icon::Warning:
        return QMessageBox::Warning;
    case Dialogs::Icon::Critical:
        return QMessageBox::Critical;
    case Dialogs::Icon::Question:
        return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}

struct ButtonPair
{
    Dialogs::Button ours;
    QMessageBox::StandardButton qt;
};
constexpr ButtonPair kButtons[] = {{Dialogs::Ok, QMessageBox::Ok},
                                   {Dialogs::Cancel, QMessageBox::Cancel},
                                   {Dialogs::Yes, QMessageBox::Yes},
                                   {Dialogs::No, QMessageBox::No}};

QMessageBox::StandardButton ToQtButton(Dialogs::Button button)
{
    for (const auto& pair : kButtons)
        if (pair.ours == button)
            return pair.qt;
    return QMessageBox::NoButton;
}

// The answer given when the box is closed without a choice.
Dialogs::Button EscapeButton(int buttons)
{
    if (buttons & Dialogs::Cancel)
        return Dialogs::Cancel;
    if (buttons & Dialogs::No)
        return Dialogs::No;
    return Dialogs::Ok;
}

QString CaptionOrTitle(const QString& caption)
{
    return caption.isEmpty() ? QGuiApplication::applicationDisplayName() : caption;
}

// Boxes without an owner are centred on the active window, not the screen.
QWidget* OwnerOr(QWidget* parent)
{
    return parent ? parent : QApplication::activeWindow();
}

// Once a box has closed, the window it belonged to is the active one again.
// The window system may hand the activation back late or not at all (two
// boxes in a row), and a window the program does not know to be active lets
// the focus left in it decide which form is in front.
void ReactivateOwner(QWidget* owner)
{
    QWidget* window = owner ? owner->window() : nullptr;
    const QWidget* modal = QApplication::activeModalWidget();
    if (window && window->isVisible() && !window->isActiveWindow() && (!modal || modal == window))
        window->activateWindow();
}

// The suffix of the first pattern of a Qt name filter: "PDF文件 (*.pdf *.PDF)"
// -> "pdf"; none for "*.*" or "*".
QString FilterSuffix(const QString& nameFilter)
{
    static const QRegularExpression firstPattern(QStringLiteral("\\(\\s*\\*\\.([^\\s*?)]+)[\\s)]"));
    return firstPattern.match(nameFilter).captured(1);
}

enum class FileMode { Save, OpenOne, OpenMany };

QStringList RunFileDialog(QWidget* parent, const Dialogs::FileRequest& request, FileMode mode)
{
    const bool save = mode == FileMode::Save;
    QFileDialog dialog(OwnerOr(parent), request.title, request.directory);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save                        ? QFileDialog::AnyFile
                       : mode == FileMode::OpenOne ? QFileDialog::ExistingFile
                                                   : QFileDialog::ExistingFiles);
    const QString filter = Dialogs::QtFilter(request.filter);
    if (!filter.isEmpty())
        dialog.setNameFilter(filter);
    dialog.setDefaultSuffix(request.defaultSuffix);
    // A bare name gets the suffix of the type chosen in the dialog, so
    // "PDF文件" saves a PDF rather than a file of the first type.
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                     [&dialog, &request](const QString& chosen) {
                         const QString suffix = FilterSuffix(chosen);
                         dialog.setDefaultSuffix(suffix.isEmpty() ? request.defaultSuffix : suffix);
                     });
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !request.confirmOverwrite);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return dialog.selectedFiles();
}

} // namespace

Dialogs& Dialogs::Instance()
{
    static QtDialogs real;
    return g_installed ? *g_installed : real;
}

void Dialogs::Install(Dialogs* dialogs)
{
    g_installed = dialogs;
}

QString Dialogs::QtFilter(const QString& filter)
{
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList entries;
    // Parts come in pairs: description, then its patterns.  A trailing
    // description without patterns is dropped.
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns = parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts);
        for (QString& pattern : patterns)
            pattern = pattern.trimmed();
        patterns.removeAll(QString());
        if (patterns.isEmpty())
            continue;
        QString description = parts[i].trimmed();
        if (description.isEmpty())
            description = patterns.join(QLatin1Char(' '));
        entries << QStringLiteral("%1 (%2)").arg(description, patterns.join(QLatin1Char(' ')));
    }
    return entries.join(QStringLiteral(";;"));
}

void QtDialogs::Inform(QWidget* parent, const Message& message)
{
    QWidget* owner = OwnerOr(parent);
    QMessageBox box(ToQtIcon(message.icon), CaptionOrTitle(message.caption), message.text, QMessageBox::Ok,
                    owner);
    box.exec();
    ReactivateOwner(owner);
}

Dialogs::Button QtDialogs::Ask(QWidget* parent, const Message& message, int buttons, Button defaultButton)
{
    if ((buttons & (Ok | Cancel | Yes | No)) == 0)
        buttons = Ok;
    QMessageBox box(ToQtIcon(message.icon), CaptionOrTitle(message.caption), message.text,
                    QMessageBox::NoButton, OwnerOr(parent));
    for (const auto& pair : kButtons)
        if (buttons & pair.ours) {
            QPushButton* button = box.addButton(pair.qt);
            if (message.buttonTexts.contains(pair.ours))
                button->setText(message.buttonTexts.value(pair.ours));
        }
    if (buttons & defaultButton)
        box.setDefaultButton(ToQtButton(defaultButton));
    const Button escape = EscapeButton(buttons);
    box.setEscapeButton(ToQtButton(escape));
    box.exec();
    ReactivateOwner(box.parentWidget());
    const QMessageBox::StandardButton clicked = box.standardButton(box.clickedButton());
    for (const auto& pair : kButtons)
        if (pair.qt == clicked)
            return pair.ours;
    return escape;
}

QString QtDialogs::SaveFileName(QWidget* parent, const FileRequest& request)
{
    return RunFileDialog(parent, request, FileMode::Save).value(0);
}

QString QtDialogs::OpenFileName(QWidget* parent, const FileRequest& request)
{
    return RunFileDialog(parent, request, FileMode::OpenOne).value(0);
}

QStringList QtDialogs::OpenFileNames(QWidget* parent, const FileRequest& request)
{
    return RunFileDialog(parent, request, FileMode::OpenMany);
}

QString Dialogs::ExistingDirectory(QWidget* parent, const FileRequest& request)
{
    return QFileDialog::getExistingDirectory(OwnerOr(parent), request.title, request.directory);
}

void ShowMessage(const QString& text, QWidget* parent)
{
    Dialogs::Instance().Inform(parent, {text, QString(), Dialogs::Icon::Information});
}

void ShowError(const QString& text, const QString& caption, QWidget* parent)
{
    Dialogs::Instance().Inform(parent, {text, caption, Dialogs::Icon::Critical});
}
