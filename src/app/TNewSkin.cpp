#include "TNewSkin.h"

#include "Dialogs.h"
#include "GbkText.h"
#include "IniFile.h"
#include "SkinEngine.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QRegularExpression>

TNewSkin::TNewSkin(QObject* parent) : QObject(parent) {}

void TNewSkin::SetSkinFolder(const QString& path)
{
    m_folder = path;
    if (!m_folder.endsWith('/') && !m_folder.endsWith('\\'))
        m_folder += '/';
}

bool TNewSkin::UseSkinFile(const QString& fileName)
{
    if (!m_engine)
        return false;
    // The same sheet again would only restyle every window for nothing.
    if (!m_engine->SkinFile().isEmpty() && m_engine->SkinFile() == QFileInfo(fileName).absoluteFilePath())
        return true;
    return m_engine->LoadSkin(fileName);
}

void TNewSkin::ApplySavedSkin()
{
    const QString path = IniFile(SetIniPath()).ReadString("Skin", "Path");
    if (!path.isEmpty())
        UseSkinFile(m_folder + path);
}

bool TNewSkin::LoadSkinList()
{
    QFile file(m_folder + "skins.dat");
    if (!file.open(QIODevice::ReadOnly))
        return false;
    QStringList names, files;
    static const QRegularExpression lineBreak(QStringLiteral("\r\n|\n|\r"));
    static const QRegularExpression blank(QStringLiteral("\\s"));
    for (const QString& raw : Gbk::Decode(file.readAll()).split(lineBreak)) {
        const QString line = raw.trimmed();
        if (line.isEmpty())
            continue;
        // "Blue" is the skin Blue in Blue.skn; "蓝色 Blue.skn" names its file.
        const int space = line.indexOf(blank);
        const QString name = space < 0 ? line : line.left(space);
        const QString skinFile = space < 0 ? line + ".skn" : line.mid(space + 1).trimmed();
        if (!QFileInfo(m_folder + skinFile).isFile())
            continue;
        names << name;
        files << skinFile;
    }
    SkinNames = names;
    SkinFiles = files;
    return true;
}

bool TNewSkin::FillSkinMenu(QMenu* item)
{
    item->clear();
    if (!LoadSkinList())
        return false;
    for (const QString& name : SkinNames) {
        QAction* entry = item->addAction(name);
        entry->setCheckable(true);
        entry->setVisible(true);
        connect(entry, &QAction::triggered, this, [this, entry] { SkinMenuClick(entry); });
    }
    return true;
}

void TNewSkin::MarkCurrentSkin(QMenu* item)
{
    IniFile ini(SetIniPath());
    const QString path = ini.ReadString("Skin", "Path");
    if (!path.isEmpty())
        UseSkinFile(m_folder + path);
    const QString name = ini.ReadString("Skin", "Name");
    if (!item || name.isEmpty())
        return;
    for (QAction* entry : item->actions()) {
        if (entry->text() == name) {
            entry->setChecked(true);
            return;
        }
    }
}

void TNewSkin::SkinMenuClick(QAction* sender)
{
    if (!sender)
        return;
    const QList<QAction*> siblings = qobject_cast<QWidget*>(sender->parent())
                                         ? qobject_cast<QWidget*>(sender->parent())->actions()
                                         : QList<QAction*>{sender};
    QAction* previous = nullptr;
    for (QAction* entry : siblings) {
        if (entry != sender && entry->isChecked())
            previous = entry;
        entry->setChecked(false);
    }
    sender->setChecked(true);

    const int index = SkinNames.indexOf(sender->text());
    if (index < 0)
        return;
    if (!UseSkinFile(m_folder + SkinFiles[index])) {
        // The look in force stays, and so does the remembered choice.
        sender->setChecked(false);
        if (previous)
            previous->setChecked(true);
        ShowMessage(QStringLiteral("无法读取皮肤文件“%1”，界面保持原样。").arg(SkinFiles[index]));
        return;
    }
    QDir().mkpath(QFileInfo(SetIniPath()).absolutePath());
    IniFile ini(SetIniPath());
    ini.WriteString("Skin", "Name", SkinNames[index]);
    ini.WriteString("Skin", "Path", SkinFiles[index]);
}
