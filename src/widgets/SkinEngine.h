#pragma once

#include <QString>

// The skin engine (SkinData1): a skin file (.skn) is a Qt style sheet that is
// applied to the whole application.  Without a skin the application keeps its
// built-in look (the plain style).
class SkinEngine
{
public:
    // Qt's style sheet parser takes time growing with the square of the
    // sheet's size (a 1 MB sheet holds the program up for seconds); the
    // shipped skins are a few KB, so a larger file is no skin of ours.
    static constexpr qint64 MaxSkinBytes = 64 * 1024;

    // Applies the skin file.  A missing, unreadable, non-text or oversized
    // file (or a folder) leaves the look in force unchanged and returns false.
    bool LoadSkin(const QString& fileName);
    // Back to the built-in look.
    void Clear();
    // The file of the skin in force; empty for the built-in look.
    QString SkinFile() const { return m_skinFile; }

private:
    QString m_skinFile;
};
