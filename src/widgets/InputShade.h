#pragma once

class QWidget;

// Browsed values are shown on silver (C0C0C0) and editable ones on white, the
// same under every skin: enables or disables the input and gives it the
// matching background.  The colour is a style rule for this one widget (by
// its object name), which wins over the skin's style sheet and does not reach
// the widget's scroll bars or drop-down list.  Check boxes and radio buttons
// keep the skin's look and only get a text that stays readable.
void SetInputEditable(QWidget* input, bool editable);
// The same for an input whose enabled state is set elsewhere.
void ShadeInput(QWidget* input, bool editable);
