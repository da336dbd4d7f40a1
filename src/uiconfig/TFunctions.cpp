#include "TFunctions.h"

#include "AppDir.h"
#include "DataAccess.h"
#include "Dialogs.h"
#include "FunctionsHost.h"
#include "GbkText.h"
#include "GroupBar.h"
#include "HelpWindow.h"
#include "IconList.h"
#include "MenuConstruction.h"
#include "SessionRights.h"
#include "ShellOpen.h"
#include "TfrmChangePassWord.h"
#include "TfrmLogin.h"

#include <QFileInfo>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QStandardPaths>
#include <QToolBar>
#include <QUrl>
#include <QUrlQuery>

TFunctions* Functions = nullptr;

const char* const TFunctions::SupportMail = "support@weibao-dev.cn";

namespace {

const QString Yes = QStringLiteral("Y");

} // namespace

TFunctions::TFunctions(FunctionsHost* host, QObject* parent) : QObject(parent), m_host(host)
{
    MenuSet.AddField("MenuID", FieldType::Integer);
    MenuSet.AddField("MenuText", FieldType::Text, 50);
    MenuSet.AddField("ParentMenuID", FieldType::Integer);
    MenuSet.AddField("FuncID", FieldType::Text, 20);
    MenuSet.AddField("IsUse", FieldType::Text, 1);
    MenuSet.AddField("IsPublic", FieldType::Text, 1);
    MenuSet.AddField("OrderNum", FieldType::Integer);

    if (!Functions) {
        Functions = this;
        SessionRights::Install([this](const QString& funcID) { return IsGranted(funcID); },
                               [this] { return CurrentUser().UserID; });
    }
}

TFunctions::~TFunctions()
{
    m_user.Clear();
    if (Functions == this) {
        Functions = nullptr;
        SessionRights::Uninstall();
    }
}

// --- rights ------------------------------------------------------------------

void TFunctions::ResolveRights(const QString& userID)
{
    m_granted.clear();
    m_grantOrder.clear();
    LoadFunctionCatalogue();
    QVector<MenuMark> menus;
    QVector<qint64> orderNums;
    ReadMenuStructure(&menus, &orderNums);
    LoadUserGrants(userID);
    FillMenuSet(menus, orderNums);
}

void TFunctions::LoadFunctionCatalogue()
{
    m_functions.clear();
    m_functionRow.clear();
    m_childRows.clear();
    struct Row
    {
        QString id, control, modal, parent, isPublic;
    };
    QVector<Row> catalogue;
    if (!ReadEach(QStringLiteral("select FunctionID, ControlName, FormModal, ParentFunctionID, IsPublic"
                                 " from AC_FUNCTIONINFO"),
                  {}, [&catalogue](const SqlStatement& row) {
                      catalogue.append(
                          {TextAt(row, 0), TextAt(row, 1), TextAt(row, 2), TextAt(row, 3), TextAt(row, 4)});
                  }))
        return;
    // A function is public when its own flag or its direct parent's is "Y".
    QHash<QString, QString> ownFlag;
    ownFlag.reserve(catalogue.size());
    for (const Row& row : catalogue)
        ownFlag.insert(row.id, row.isPublic);
    m_functions.reserve(catalogue.size());
    m_functionRow.reserve(catalogue.size());
    for (const Row& row : catalogue) {
        const auto parentFlag = ownFlag.constFind(row.parent);
        const bool isPublic = (parentFlag != ownFlag.cend() && parentFlag->trimmed() == Yes) ||
                              Gbk::Truncate(row.isPublic, 1) == Yes;
        // Look-ups by identifier and by parent, so that resolving the rights
        // of a large catalogue does not walk it once per function.  A
        // duplicate identifier resolves to its first row.
        const int index = m_functions.size();
        m_functions.append({Gbk::Truncate(row.id, 20), Gbk::Truncate(row.control, 50),
                            Gbk::Truncate(row.modal, 20), Gbk::Truncate(row.parent, 20), isPublic});
        const CatalogueFunction& function = m_functions.last();
        if (!m_functionRow.contains(function.id))
            m_functionRow.insert(function.id, index);
        m_childRows[function.parentID].append(index);
    }
}

void TFunctions::ReadMenuStructure(QVector<MenuMark>* menus, QVector<qint64>* orderNums)
{
    ReadEach(QStringLiteral("select MenuID, MenuText, ParentMenuID, FunctionID, OrderNum from AC_MENUSTRUCT"
                            " order by ordernum"),
             {}, [&](const SqlStatement& row) {
                 const QString text = TextAt(row, 1);
                 const QString funcID = TextAt(row, 3);
                 MenuMark menu;
                 menu.menuID = row.ColumnIsNull(0) ? 0 : row.ColumnInt64(0);
                 menu.text = MenuSet.Coerce(1, text).toString();
                 menu.parentID = row.ColumnIsNull(2) ? 0 : row.ColumnInt64(2);
                 menu.funcID = MenuSet.Coerce(3, funcID).toString();
                 // Public functions the menu refers to are granted to
                 // everybody; separators are always in use.
                 menu.inUse = IsPublicFunction(funcID) || text == QLatin1String("-");
                 if (menu.inUse && !funcID.isEmpty())
                     Grant(funcID);
                 menus->append(menu);
                 orderNums->append(row.ColumnIsNull(4) ? 0 : row.ColumnInt64(4));
             });
}

void TFunctions::LoadUserGrants(const QString& userID)
{
    // Direct grants first, then those of the user's roles; each with every
    // function below it.
    QStringList granted;
    const auto take = [&granted](const SqlStatement& row) { granted << TextAt(row, 0); };
    ReadEach(QStringLiteral("select FunctionID from AC_FUNCTION_USER where UserID=?"), {userID}, take);
    ReadEach(QStringLiteral("select f.FunctionID from AC_ROLE_USER u, AC_ROLE_FUNCTION f"
                            " where u.UserID=? and f.RoleID=u.RoleID"),
             {userID}, take);
    QStringList path;
    for (const QString& funcID : granted) {
        Grant(funcID);
        AddChildFunctions(funcID, path);
    }
}

void TFunctions::AddChildFunctions(const QString& funcID, QStringList& path)
{
    // `path` holds the functions above this one: a catalogue whose parent
    // keys run in a circle is walked once round, never for ever.
    if (path.contains(funcID))
        return;
    path << funcID;
    for (const int row : m_childRows.value(funcID)) {
        const QString& child = m_functions[row].id;
        if (path.contains(child))
            continue;
        Grant(child);
        AddChildFunctions(child, path);
    }
    path.removeLast();
}

void TFunctions::Grant(const QString& funcID)
{
    // Shown to readers once the rights are resolved (ResolveRights), each
    // function once.
    if (!m_granted.contains(funcID)) {
        m_granted.insert(funcID);
        m_grantOrder.append(funcID);
    }
}

bool TFunctions::IsGranted(const QString& funcID) const
{
    return m_granted.contains(funcID);
}

int TFunctions::FindFunction(const QString& funcID) const
{
    return m_functionRow.value(funcID, -1);
}

bool TFunctions::IsPublicFunction(const QString& funcID) const
{
    if (funcID.isEmpty())
        return false;
    const int row = FindFunction(funcID);
    return row >= 0 && m_functions[row].isPublic;
}

QString TFunctions::GrantedFunctionOpening(const QString& controlName) const
{
    for (const CatalogueFunction& function : m_functions)
        if (function.controlName == controlName && IsGranted(function.id))
            return function.id;
    return {};
}

void TFunctions::FillMenuSet(QVector<MenuMark>& menus, const QVector<qint64>& orderNums)
{
    MenuSet.EmptyDataSet();
    // IsPublic keeps whether a row was in use before the grants marked it.
    QVector<bool> publicRows(menus.size());
    for (int row = 0; row < menus.size(); ++row)
        publicRows[row] = menus[row].inUse;
    MarkGrantedMenus(menus, [this](const QString& funcID) { return IsGranted(funcID); });
    const QVariant yes = MenuSet.Coerce(4, Yes), no = MenuSet.Coerce(4, QStringLiteral("N"));
    for (int row = 0; row < menus.size(); ++row) {
        const MenuMark& menu = menus[row];
        // In the set's field order: MenuID, MenuText, ParentMenuID, FuncID,
        // IsUse, IsPublic, OrderNum.
        MenuSet.AppendRaw({menu.menuID, menu.text, menu.parentID, menu.funcID, menu.inUse ? yes : no,
                           publicRows[row] ? yes : no, orderNums[row]});
    }
    MenuSet.Refresh();
}

// --- dispatch ------------------------------------------------------------------

QString TFunctions::ToolProgram(const QString& name)
{
#ifdef Q_OS_WIN
    return FindShipped("Tool/" + name + ".exe");
#else
    return FindShipped("Tool/" + name);
#endif
}

QString TFunctions::FindToolProgram(const QString& name)
{
    const QString own = ToolProgram(name);
    if (QFileInfo(own).isFile())
        return own;
    // The desktop's own calculator and text editor, the usual Debian ones.
    static const QStringList calculators = {"gnome-calculator", "kcalc",     "galculator", "qalculate-gtk",
                                            "qalculate-qt",     "mate-calc", "xcalc"};
    static const QStringList editors = {
        "gnome-text-editor", "gedit", "kate", "kwrite", "mousepad", "xed", "pluma", "featherpad", "leafpad"};
    for (const QString& program : name == QLatin1String("calc") ? calculators : editors) {
        const QString path = QStandardPaths::findExecutable(program);
        if (!path.isEmpty())
            return path;
    }
    return QString();
}

bool TFunctions::RunFunction(const QString& funcID)
{
    const int row = FindFunction(funcID);
    if (row < 0)
        return false;
    // Read before acting: logging in again or off rebuilds the datasets.
    const QString controlName = m_functions[row].controlName;
    const QString formModal = m_functions[row].formModal;

    if (funcID == QLatin1String("1002")) {
        if (frmChangePassWord)
            frmChangePassWord->Execute(CurrentUser());
    } else if (funcID == QLatin1String("1003")) {
        // Logging in as someone closes every form: typed input is asked about first.
        if (frmLogin && (!m_host || m_host->ConfirmUnsavedForms()))
            frmLogin->Execute(CurrentUser());
    } else if (funcID == QLatin1String("1004")) {
        LogOff();
    } else if (funcID == QLatin1String("1006")) {
        if (m_host && m_host->Window())
            m_host->Window()->close();
    } else if (funcID == QLatin1String("1007")) {
        if (m_host)
            m_host->RefreshLookups();
    } else if (funcID == QLatin1String("7001")) {
        QUrl mail(QStringLiteral("mailto:") + SupportMail);
        QUrlQuery query;
        query.addQueryItem(QStringLiteral("subject"), QStringLiteral("维保档案管家 技术支持"));
        mail.setQuery(query);
        ShellOpen(mail.toString(QUrl::FullyEncoded));
    } else if (funcID == QLatin1String("7003")) {
        HelpWindow::ShowManual();
    } else if (funcID == QLatin1String("7004")) {
        // Reserved entry: nothing to do.
    } else if (funcID == QLatin1String("9006") || funcID == QLatin1String("9007")) {
        const bool calc = funcID == QLatin1String("9006");
        const QString program = FindToolProgram(calc ? "calc" : "notepad");
        if (!program.isEmpty())
            ShellOpen(program);
        else
            ShowMessage(
                calc ? QStringLiteral("没有找到计算器程序。\n请安装桌面的计算器（例如 gnome-calculator、"
                                      "galculator 或 kcalc），或把计算器程序放在 Tool/calc。")
                     : QStringLiteral("没有找到文本编辑器。\n请安装桌面的文本编辑器（例如 gedit、"
                                      "mousepad 或 kate），或把编辑器程序放在 Tool/notepad。"),
                m_host ? m_host->Window() : nullptr);
    } else if (!controlName.isEmpty() && m_host) {
        m_host->OpenFunctionForm(funcID, controlName, formModal);
    }
    return true;
}

void TFunctions::LogOff()
{
    if (m_host && !m_host->ConfirmUnsavedForms())
        return;
    if (m_host) {
        m_host->CloseAllChildForms();
        m_host->SetLoginStatus(QStringLiteral("未登录"), QStringLiteral("当前用户："));
    }
    // Only public functions remain; the user record keeps its contents.
    BuildUserInterface(QString());
}

// --- generated controls -----------------------------------------------------------

void TFunctions::RebuildUserInterface()
{
    BuildUserInterface(CurrentUser().UserID);
    if (m_host)
        m_host->RestoreOpenWindowItems();
}

void TFunctions::BuildUserInterface(const QString& userID)
{
    ResolveRights(userID);
    if (!m_host || !m_host->Window())
        return;
    auto* menu = new QMenuBar;
    menu->setObjectName(QStringLiteral("meuMain"));
    BuildMainMenu(menu);
    if (QToolBar* toolBar = m_host->MainToolBar())
        BuildToolBar(toolBar);
    if (GroupBar* groupBar = m_host->MainGroupBar()) {
        BuildGroupBar(groupBar);
        AddOpenWindowsGroup(groupBar);
    }
    // The window frees the menu it had (later, as a click may come from it).
    m_host->Window()->setMenuBar(menu);
}

void TFunctions::BuildMainMenu(QMenuBar* menu)
{
    // The menu rows grouped by parent once, not read again for every entry.
    const MenuChildren children(MenuSet);
    for (const MenuEntry& entry : MainMenuEntries(MenuSet)) {
        const bool hasChildren =
            entry.IsSkinEntry() || (entry.menuID != 0 && !children.Entries(entry.menuID).isEmpty());
        if (QMenu* item = AddMenuEntry(menu, entry, hasChildren)) {
            QList<qint64> path{entry.menuID};
            BuildSubMenu(item, children, entry.menuID, path);
        }
    }
}

QMenu* TFunctions::AddMenuEntry(QWidget* parent, const MenuEntry& entry, bool hasChildren)
{
    if (!hasChildren) {
        auto* action = new QAction(entry.text, parent);
        parent->addAction(action);
        action->setData(entry.tag);
        if (entry.tag != 0)
            connect(action, &QAction::triggered, this,
                    [this, tag = entry.tag] { RunFunction(QString::number(tag)); });
        return nullptr;
    }
    auto* item = new QMenu(entry.text, parent);
    parent->addAction(item->menuAction());
    item->menuAction()->setData(entry.tag);
    if (entry.IsSkinEntry() && m_host)
        m_host->FillSkinMenu(item);
    return item;
}

void TFunctions::BuildSubMenu(QMenu* parentItem, qint64 menuID)
{
    QList<qint64> path{menuID};
    BuildSubMenu(parentItem, MenuChildren(MenuSet), menuID, path);
}

void TFunctions::BuildSubMenu(QMenu* parentItem, const MenuChildren& children, qint64 menuID,
                              QList<qint64>& path)
{
    if (menuID == 0)
        return;
    for (const MenuEntry& entry : children.Entries(menuID, !parentItem->actions().isEmpty())) {
        if (entry.separator) {
            const QList<QAction*> items = parentItem->actions();
            if (!items.isEmpty() && !items.last()->isSeparator())
                parentItem->addSeparator();
            continue;
        }
        // A row that is its own ancestor is shown, but not entered again.
        const bool circular = path.contains(entry.menuID);
        const bool hasChildren =
            entry.IsSkinEntry() || (!circular && !children.Entries(entry.menuID).isEmpty());
        QMenu* item = AddMenuEntry(parentItem, entry, hasChildren);
        if (item && !circular) {
            path << entry.menuID;
            BuildSubMenu(item, children, entry.menuID, path);
            path.removeLast();
        }
    }
}

namespace {

// Keeps a widget hidden while it is refilled: each control added to a shown
// parent is laid out and polished at once, a thousand times over; hidden,
// the whole is laid out once when it is shown again.  The widget is shown
// again only if it was shown.
class HiddenWhileFilled
{
public:
    explicit HiddenWhileFilled(QWidget* widget) : m_widget(widget), m_shown(widget && !widget->isHidden())
    {
        if (m_shown)
            m_widget->hide();
    }
    ~HiddenWhileFilled()
    {
        if (m_shown)
            m_widget->show();
    }
    HiddenWhileFilled(const HiddenWhileFilled&) = delete;
    HiddenWhileFilled& operator=(const HiddenWhileFilled&) = delete;

private:
    QWidget* m_widget;
    bool m_shown;
};

} // namespace

void TFunctions::BuildToolBar(QToolBar* toolBar)
{
    // The old buttons are freed once control is back in the event loop, as
    // the click that rebuilds the bar may come from one of them.
    for (QAction* action : toolBar->actions()) {
        toolBar->removeAction(action);
        if (action->parent() == toolBar)
            action->deleteLater();
    }
    MemDataset rows;
    if (!OpenQuery(QStringLiteral("select FunctionID, ButtonText, IconIndex from AC_TOOLCFG where IsShow='Y'"
                                  " order by OrderNum desc"),
                   rows) ||
        rows.IsEmpty())
        return;
    toolBar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    const auto granted = [this](const QString& funcID) { return IsGranted(funcID); };
    for (const ToolButtonEntry& entry : ToolBarEntries(rows, granted)) {
        if (entry.separator) {
            toolBar->addSeparator()->setParent(toolBar);
            continue;
        }
        auto* action = new QAction(IconList::Icon(entry.iconIndex), entry.text, toolBar);
        action->setData(entry.tag);
        action->setToolTip(entry.text);
        connect(action, &QAction::triggered, this,
                [this, tag = entry.tag] { RunFunction(QString::number(tag)); });
        toolBar->addAction(action);
    }
}

void TFunctions::BuildGroupBar(GroupBar* groupBar)
{
    const HiddenWhileFilled hidden(groupBar->widget());
    groupBar->Clear();
    MemDataset rows;
    if (!OpenQuery(
            QStringLiteral("select ItemID, ParentItemID, ItemText, IconIndex, FunctionID from AC_GroupCfg"
                           " where IsShow='Y' order by OrderNum"),
            rows) ||
        rows.IsEmpty())
        return;
    const auto granted = [this](const QString& funcID) { return IsGranted(funcID); };
    int position = 0;
    for (const GroupEntry& entry : GroupBarEntries(rows, granted)) {
        GroupBarGroup* group =
            groupBar->group(groupBar->InsertGroup(position++, entry.caption, entry.iconIndex));
        group->SetOpened(true);
        for (const GroupItemEntry& itemEntry : entry.items)
            group->AddItem(itemEntry.text, itemEntry.tag, itemEntry.iconIndex)->SetHint(itemEntry.text);
        connect(group, &GroupBarGroup::itemClicked, this,
                [this](GroupBarItem* item) { RunFunction(QString::number(item->Tag())); });
    }
}

void TFunctions::AddOpenWindowsGroup(GroupBar* groupBar)
{
    const int index = groupBar->InsertGroup(0, QStringLiteral("当前打开的窗体"), -1, true);
    groupBar->group(index)->SetOpened(true);
}
