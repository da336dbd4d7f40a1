#pragma once

#include <QValidator>

// Turns whatever is typed or pasted into upper case (user codes, and the
// administration forms' upper-case boxes).
class UpperCaseValidator : public QValidator
{
    Q_OBJECT
public:
    using QValidator::QValidator;
    State validate(QString& input, int& pos) const override;
};
