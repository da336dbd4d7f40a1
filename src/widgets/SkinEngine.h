#pragma once

#include <QString>

// The skin engine (SkinData1): a skin file (.skn) is a Qt style sheet that is
// applied to the whole application.  Without a skin the application keeps its
// built-in look (the plain style).
class SkinEngine
{
public:
    // Applies the skin file.  A missing, unreadable or non-text file (or a
    // folder) leaves the look in force unchanged and returns false.
    bool LoadSkin(const QString& fileName);
    // Back to the built-in look.
    void Clear();
    // The file of the skin in force; empty for the built-in look.
    QString SkinFile() const { return m_skinFile; }

private:
    QString m_skinFile;
};
