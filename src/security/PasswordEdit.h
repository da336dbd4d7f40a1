#pragma once

class QLineEdit;

// Password boxes show "*" for each character, whatever the skin.  (A style
// sheet property would be lost when a skin is already in force.)
void ShowPasswordAsStars(QLineEdit* edit);
