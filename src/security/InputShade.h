#pragma once

class QWidget;

// The administration forms show an input that cannot be edited on silver
// (C0C0C0) and one that can on white: enables or disables the input and
// gives it the matching background.
void SetInputEditable(QWidget* input, bool editable);
