#include "InputShade.h"

#include <QColor>
#include <QPalette>
#include <QWidget>

void SetInputEditable(QWidget* input, bool editable)
{
    input->setEnabled(editable);
    const QColor background = editable ? QColor(0xFF, 0xFF, 0xFF) : QColor(0xC0, 0xC0, 0xC0);
    QPalette palette = input->palette();
    // Every group, so the colour holds whatever state the style paints.
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        palette.setColor(group, QPalette::Base, background);
        palette.setColor(group, QPalette::Button, background);
    }
    // The style's grey for disabled text vanishes on silver: a browsed value
    // must stay readable.
    const QColor disabledText(0x40, 0x40, 0x40);
    for (const QPalette::ColorRole role : {QPalette::Text, QPalette::ButtonText, QPalette::WindowText})
        palette.setColor(QPalette::Disabled, role, disabledText);
    input->setPalette(palette);
}
