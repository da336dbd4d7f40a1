#include "GbkLengthValidator.h"

#include "GbkText.h"

#include <QLineEdit>

GbkLengthValidator::GbkLengthValidator(int maxBytes, QObject* parent)
    : QValidator(parent), m_maxBytes(maxBytes)
{
}

QValidator::State GbkLengthValidator::validate(QString& input, int& pos) const
{
    if (Gbk::ByteLength(input) <= m_maxBytes)
        return Acceptable;
    // The edit just put the new text before the cursor: drop characters
    // there until the rest fits, keeping surrogate pairs whole.
    while (pos > 0 && Gbk::ByteLength(input) > m_maxBytes) {
        const int width =
            pos >= 2 && input[pos - 1].isLowSurrogate() && input[pos - 2].isHighSurrogate() ? 2 : 1;
        input.remove(pos - width, width);
        pos -= width;
    }
    return Gbk::ByteLength(input) <= m_maxBytes ? Acceptable : Invalid;
}

void GbkLengthValidator::Apply(QLineEdit* edit, int maxBytes)
{
    edit->setMaxLength(maxBytes);
    edit->setValidator(new GbkLengthValidator(maxBytes, edit));
}
