#pragma once

#include <QValidator>

class QLineEdit;

// Limits a line edit to a number of bytes in the GBK code page (a Chinese
// character takes two), the way a maximum length limits characters: what is
// typed or pasted beyond the limit is dropped from the end of the insertion.
class GbkLengthValidator : public QValidator
{
    Q_OBJECT
public:
    GbkLengthValidator(int maxBytes, QObject* parent = nullptr);
    int MaxBytes() const { return m_maxBytes; }
    State validate(QString& input, int& pos) const override;

    // Installs a validator for `maxBytes` on the edit (its character limit
    // becomes the same number, which never binds first).
    static void Apply(QLineEdit* edit, int maxBytes);

private:
    int m_maxBytes;
};
