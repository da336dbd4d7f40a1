#pragma once

#include <QObject>
#include <QStringList>

class QAction;
class QMenu;
class SkinEngine;

// The skin manager: knows the installed skins (Skins/skins.dat), lists them
// under the skin menu entry, switches the skin engine to the chosen one and
// remembers the choice in Skins/set.ini ([Skin] Name, Path) for the next start.
class TNewSkin : public QObject
{
    Q_OBJECT
public:
    explicit TNewSkin(QObject* parent = nullptr);

    // Keeps `path` with a trailing "/".
    void SetSkinFolder(const QString& path);
    QString SkinFolder() const { return m_folder; }
    // Where the choice is kept when the skins come from a read-only shared
    // folder; by default set.ini in the skin folder.
    void SetChoiceFile(const QString& path) { m_choiceFile = path; }
    void SetEngine(SkinEngine* engine) { m_engine = engine; }

    // Applies the skin saved in set.ini (a missing or unreadable file keeps
    // the look in force).
    void ApplySavedSkin();
    // Reads skins.dat; false (lists unchanged) when there is none.  A skin
    // whose file is missing is left out.
    bool LoadSkinList();
    // Replaces the entries under `item` by one checkable entry per skin.
    bool FillSkinMenu(QMenu* item);
    // Applies the saved skin and checks its entry under `item`.
    void MarkCurrentSkin(QMenu* item);

    QStringList SkinNames;
    QStringList SkinFiles;

public slots:
    void SkinMenuClick(QAction* sender);

private:
    QString SetIniPath() const { return m_choiceFile.isEmpty() ? m_folder + "set.ini" : m_choiceFile; }
    bool UseSkinFile(const QString& fileName);

    QString m_folder;
    QString m_choiceFile;
    SkinEngine* m_engine = nullptr;
};
