#include "InputShade.h"

#include <QColor>
#include <QPalette>
#include <QWidget>

void SetInputEditable(QWidget* input, bool editable)
{
    input->setEnabled(editable);
    const QColor background = editable ? QColor(0xFF, 0xFF, 0xFF) : QColor(0xC0, 0xC0, 0xC0);
    QPalette palette = input->palette();
    // Both groups, so the colour holds whatever state the style paints.
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        palette.setColor(group, QPalette::Base, background);
        palette.setColor(group, QPalette::Button, background);
    }
    input->setPalette(palette);
}
