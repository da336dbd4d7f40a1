#pragma once

#include "MemDataset.h"
#include "TUser.h"

#include <QHash>
#include <QObject>
#include <QSet>
#include <QVector>

class FunctionsHost;
class GroupBar;
class QMenu;
class QMenuBar;
class QToolBar;
class QWidget;
struct MenuEntry;
struct MenuMark;
class MenuChildren;

// The function-rights object: resolves which functions the current user has
// been granted (the catalogue, MenuSet, the grants), runs function identifiers
// (built-in actions or the form the catalogue names) and rebuilds the main
// window's menu, toolbar and group bar.  One instance, created by the main
// window; it owns the one user record.
class TFunctions : public QObject
{
    Q_OBJECT
public:
    explicit TFunctions(FunctionsHost* host = nullptr, QObject* parent = nullptr);
    ~TFunctions() override;

    TUser& CurrentUser() { return *m_currentUser; }
    void SetCurrentUser(TUser* user) { m_currentUser = user ? user : &m_user; }
    void SetHost(FunctionsHost* host) { m_host = host; }

    // Fills the three datasets for `userID` (empty: public functions only)
    // and, with a host, rebuilds menu, toolbar and group bar.
    void BuildUserInterface(const QString& userID);
    // The same for the user logged in, while forms are open: after the menu,
    // toolbar, group bar or catalogue was edited.
    void RebuildUserInterface();
    // The widget-free part: catalogue, menu rows, grants and the IsUse marks.
    void ResolveRights(const QString& userID);

    bool IsGranted(const QString& funcID) const;
    // Every function granted, each once, in the order granted.
    const QStringList& GrantedFunctions() const { return m_grantOrder; }
    bool IsPublicFunction(const QString& funcID) const;
    // The first function of the catalogue that opens the form class
    // `controlName` and is granted; empty when there is none.
    QString GrantedFunctionOpening(const QString& controlName) const;
    // false when the identifier is not in the catalogue (nothing happens then).
    bool RunFunction(const QString& funcID);

    // Widget construction from MenuSet and the toolbar and group-bar tables.
    void BuildMainMenu(QMenuBar* menu);
    void BuildSubMenu(QMenu* parentItem, qint64 menuID);
    void BuildToolBar(QToolBar* toolBar);
    void BuildGroupBar(GroupBar* groupBar);
    static void AddOpenWindowsGroup(GroupBar* groupBar);

    MemDataset MenuSet;

    // Where 7001 writes to, and the programs of 9006/9007 below the program folder.
    static const char* const SupportMail;
    static QString ToolProgram(const QString& name);
    // The program 9006/9007 start: the one in Tool/, else the desktop's own
    // calculator ("calc") or text editor ("notepad") found on the path;
    // empty when there is none.
    static QString FindToolProgram(const QString& name);

private:
    void LoadFunctionCatalogue();
    // The menu rows in order, with whether each is in use before the user's
    // grants mark it (public function or separator).
    void ReadMenuStructure(QVector<MenuMark>* menus, QVector<qint64>* orderNums);
    void LoadUserGrants(const QString& userID);
    void AddChildFunctions(const QString& funcID, QStringList& path);
    void Grant(const QString& funcID);
    // Marks the rows the grants put in use and fills MenuSet with them.
    void FillMenuSet(QVector<MenuMark>& menus, const QVector<qint64>& orderNums);
    void BuildSubMenu(QMenu* parentItem, const MenuChildren& children, qint64 menuID, QList<qint64>& path);
    // Appends one generated entry to a menu bar or menu: a plain item that
    // runs its function, or (with children) a submenu, which is returned.
    QMenu* AddMenuEntry(QWidget* parent, const MenuEntry& entry, bool hasChildren);
    void LogOff();
    int FindFunction(const QString& funcID) const;

    // One function of the catalogue, its texts fitted to their columns.
    struct CatalogueFunction
    {
        QString id, controlName, formModal, parentID;
        bool isPublic; // its own flag or its direct parent's is "Y"
    };
    QVector<CatalogueFunction> m_functions;   // the catalogue, in the order read
    QHash<QString, int> m_functionRow;        // index of each identifier in m_functions
    QHash<QString, QVector<int>> m_childRows; // indexes below each identifier, in order
    QSet<QString> m_granted;                  // the functions granted
    QStringList m_grantOrder;                 // the same, in the order granted
    TUser m_user;
    TUser* m_currentUser = &m_user;
    FunctionsHost* m_host = nullptr;
};

// The application's function-rights object (nullptr before the main window exists).
extern TFunctions* Functions;
