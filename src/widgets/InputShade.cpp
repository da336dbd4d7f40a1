#include "InputShade.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QWidget>

void SetInputEditable(QWidget* input, bool editable)
{
    input->setEnabled(editable);
    ShadeInput(input, editable);
}

void ShadeInput(QWidget* input, bool editable)
{
    if (input->objectName().isEmpty())
        return;
    // A disabled input keeps a dark text: the record shown stays readable on
    // silver, where the style's grey for disabled text would vanish.
    QString rule;
    if (qobject_cast<QAbstractButton*>(input))
        rule = editable ? QString() : QStringLiteral("color: #303030;");
    else
        rule = editable ? QStringLiteral("background-color: #FFFFFF;")
                        : QStringLiteral("background-color: #C0C0C0; color: #303030;");
    const char* type = qobject_cast<QComboBox*>(input)           ? "QComboBox"
                       : qobject_cast<QAbstractSpinBox*>(input)  ? "QAbstractSpinBox"
                       : qobject_cast<QAbstractItemView*>(input) ? "QAbstractItemView"
                                                                 : "QWidget";
    input->setStyleSheet(
        rule.isEmpty() ? QString()
                       : QStringLiteral("%1#%2 { %3 }").arg(QLatin1String(type), input->objectName(), rule));
}
