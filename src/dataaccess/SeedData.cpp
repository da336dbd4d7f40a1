#include "SeedData.h"

#include "AppDir.h"
#include "DataAccess.h"
#include "PasswordHash.h"
#include "Schema.h"
#include "Settings.h"
#include "SqlConnection.h"

#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QRandomGenerator>

namespace {

// The rows of the configuration tables, columns named: later steps add
// columns (row versions) that take their defaults.
const char* const InsertFunction =
    "insert into AC_FUNCTIONINFO (FunctionID,FunctionName,FunctionDesc,ControlName,"
    "FormModal,ParentFunctionID,IsPublic,OrderNum) values (?,?,?,?,?,?,?,?)";
const char* const InsertMenu =
    "insert into AC_MENUSTRUCT (MenuID,MenuText,ParentMenuID,FunctionID,OrderNum) values (?,?,?,?,?)";
const char* const InsertButton =
    "insert into AC_TOOLCFG (ButtonID,ButtonText,IconIndex,IsShow,FunctionID,OrderNum) values (?,?,?,?,?,?)";
const char* const InsertItem =
    "insert into AC_GROUPCFG (ItemID,ItemText,IconIndex,IsShow,FunctionID,ParentItemID,"
    "OrderNum) values (?,?,?,?,?,?,?)";

struct Function
{
    const char* id;
    const char* name;
    const char* control;
    const char* modal;
    const char* parent;
    const char* isPublic;
    const char* desc;
};

// The function catalogue: grouping nodes (no form), built-in actions and the
// forms of the program.  Children of a public node are public.
const Function Functions[] = {
    {"1000", "系统", "", "", "-1", "Y", "登录、密码与退出"},
    {"1002", "更改密码", "", "", "1000", "N", "更改当前用户的密码"},
    {"1003", "重新登录", "", "", "1000", "N", "以其他用户身份登录"},
    {"1004", "注销", "", "", "1000", "N", "注销当前用户"},
    {"1006", "退出", "", "", "1000", "N", "退出本程序"},
    {"1007", "刷新基础数据", "", "", "1000", "N", "重新读取地区和日志数据"},
    {"2000", "销售管理", "", "", "-1", "N", "销售记录与保修卡"},
    {"2001", "销售记录管理", "TFrmSaleManage", "S", "2000", "N", "查询、修改、删除销售记录"},
    {"2002", "客户信息输入", "TFrmInputInfo", "D", "2000", "N", "录入新的销售记录"},
    {"2003", "打印模板", "TFrmPrintMode", "M", "2000", "N", "打开、预览和打印报表文件"},
    {"2004", "经营统计", "TFrmBusinessStats", "S", "2000", "N", "销售、保修到期与维修的统计图表"},
    {"3000", "单位设置", "", "", "-1", "N", "本单位信息与字典"},
    {"3001", "本单位信息设置", "TFrmCompanySet", "D", "3000", "N", "单位名称、地址、电话与服务承诺"},
    {"3002", "单位字典编辑", "TFrmCompanyDirEdit", "D", "3000", "N", "部门、职员类型、职务"},
    {"4000", "系统管理", "", "", "-1", "N", "用户、角色、功能与界面配置"},
    {"4001", "用户管理", "TFrmUser", "S", "4000", "N", "用户账户与授权"},
    {"400131", "基本信息", "", "", "4001", "N", "可以修改用户的基本信息"},
    {"400132", "系统权限", "", "", "4001", "N", "可以修改用户的角色与授权"},
    {"4002", "角色管理", "TFrmRole", "S", "4000", "N", "角色与角色的功能"},
    {"4003", "界面皮肤", "", "", "4000", "N", "选择窗口的皮肤"},
    {"4004", "功能定义", "TFrmRight", "S", "4000", "N", "功能目录"},
    {"4005", "系统日志", "TFrmSysLog", "S", "4000", "N", "查看和删除使用日志"},
    {"4006", "菜单设置", "TfrmMenuCfg", "S", "4000", "N", "主菜单配置"},
    {"4007", "工具栏设置", "TfrmToolCfg", "S", "4000", "N", "工具栏配置"},
    {"4008", "GroupBar设置", "TFrmGroupCfg", "S", "4000", "N", "侧边栏配置"},
    {"4009", "数据修改记录", "TFrmChangeLog", "S", "4000", "N", "谁在何时修改了哪些数据"},
    {"400931", "恢复与清理", "", "", "4009", "N", "可以恢复已删除的记录、清理旧的修改记录"},
    {"5000", "数据维护", "", "", "-1", "N", "备份、恢复与压缩"},
    {"5001", "备份数据", "TFrmBackUp", "D", "5000", "N", "备份与恢复数据库"},
    {"5002", "压缩数据库", "TFrmCompressData", "D", "5000", "N", "压缩数据库文件"},
    {"5003", "备份数据库设置", "TFrmOption", "D", "5000", "N", "备份的压缩方式"},
    {"7000", "帮助", "", "", "-1", "Y", "帮助与关于"},
    {"7001", "联系技术支持", "", "", "7000", "N", "给技术支持写邮件"},
    {"7002", "关于", "TFrmAboutMe", "D", "7000", "N", "关于本程序"},
    {"7003", "帮助文档", "", "", "7000", "N", "帮助文档"},
    {"7004", "保留", "", "", "7000", "N", "保留"},
    {"9000", "工具", "", "", "-1", "Y", "附带的小工具"},
    {"9006", "计算器", "", "", "9000", "N", "Tool/calc"},
    {"9007", "记事本", "", "", "9000", "N", "Tool/notepad"},
};

struct Menu
{
    int id;
    const char* text;
    int parent;
    const char* function;
};

const Menu Menus[] = {
    {1, "系统(&S)", 0, ""},
    {2, "更改密码(&P)", 1, "1002"},
    {3, "重新登录(&L)", 1, "1003"},
    {4, "注销(&O)", 1, "1004"},
    {5, "-", 1, ""},
    {6, "刷新基础数据(&R)", 1, "1007"},
    {7, "-", 1, ""},
    {8, "退出(&X)", 1, "1006"},
    {10, "销售管理(&B)", 0, ""},
    {11, "销售记录管理(&M)", 10, "2001"},
    {12, "客户信息输入(&I)", 10, "2002"},
    {13, "-", 10, ""},
    {14, "打印模板(&T)", 10, "2003"},
    {15, "经营统计(&S)", 10, "2004"},
    {20, "单位设置(&C)", 0, ""},
    {21, "本单位信息设置(&C)", 20, "3001"},
    {22, "单位字典编辑(&D)", 20, "3002"},
    {30, "系统管理(&A)", 0, ""},
    {31, "用户管理(&U)", 30, "4001"},
    {32, "角色管理(&R)", 30, "4002"},
    {33, "功能定义(&F)", 30, "4004"},
    {34, "-", 30, ""},
    {35, "菜单设置(&M)", 30, "4006"},
    {36, "工具栏设置(&T)", 30, "4007"},
    {37, "GroupBar设置(&G)", 30, "4008"},
    {38, "-", 30, ""},
    {39, "系统日志(&L)", 30, "4005"},
    {41, "数据修改记录(&H)", 30, "4009"},
    {40, "界面皮肤(&K)", 30, "4003"},
    {50, "数据维护(&D)", 0, ""},
    {51, "备份数据(&B)", 50, "5001"},
    {52, "压缩数据库(&C)", 50, "5002"},
    {53, "备份数据库设置(&O)", 50, "5003"},
    {60, "工具(&T)", 0, ""},
    {61, "计算器(&C)", 60, "9006"},
    {62, "记事本(&N)", 60, "9007"},
    {70, "帮助(&H)", 0, ""},
    {71, "帮助文档(&H)", 70, "7003"},
    {72, "联系技术支持(&M)", 70, "7001"},
    {73, "-", 70, ""},
    {74, "关于(&A)...", 70, "7002"},
};

struct Button
{
    int id;
    const char* text;
    int icon;
    const char* function;
};

// Icon indices address the program's icon list (see IconList.h).
const Button Buttons[] = {
    {1, "销售记录", 28, "2001"},
    {2, "客户录入", 29, "2002"},
    {14, "经营统计", 39, "2004"},
    {3, "-", 0, ""},
    {4, "单位信息", 26, "3001"},
    {5, "打印模板", 39, "2003"},
    {6, "-", 0, ""},
    {7, "用户管理", 2, "4001"},
    {8, "系统日志", 36, "4005"},
    {9, "-", 0, ""},
    {10, "备份数据", 22, "5001"},
    {11, "-", 0, ""},
    {12, "重新登录", 14, "1003"},
    {13, "退出", 5, "1006"},
};

struct GroupItem
{
    int id;
    const char* text;
    int icon;
    const char* function;
    int parent;
};

const GroupItem GroupItems[] = {
    {1, "销售管理", 28, "", 0},
    {2, "销售记录管理", 28, "2001", 1},
    {3, "客户信息输入", 29, "2002", 1},
    {4, "打印模板", 39, "2003", 1},
    {22, "经营统计", 39, "2004", 1},
    {5, "单位设置", 26, "", 0},
    {6, "本单位信息设置", 26, "3001", 5},
    {7, "单位字典编辑", 27, "3002", 5},
    {8, "系统管理", 10, "", 0},
    {9, "用户管理", 2, "4001", 8},
    {10, "角色管理", 3, "4002", 8},
    {11, "功能定义", 6, "4004", 8},
    {12, "系统日志", 36, "4005", 8},
    {21, "数据修改记录", 36, "4009", 8},
    {13, "数据维护", 21, "", 0},
    {14, "备份数据", 22, "5001", 13},
    {15, "压缩数据库", 25, "5002", 13},
    {16, "备份数据库设置", 10, "5003", 13},
    {17, "系统", 9, "", 0},
    {18, "更改密码", 4, "1002", 17},
    {19, "重新登录", 14, "1003", 17},
    {20, "退出", 5, "1006", 17},
};

class Writer
{
public:
    explicit Writer(SqlConnection& c) : m_connection(c) {}
    bool Run(const QString& sql, const SqlArgs& args = {})
    {
        if (!m_ok)
            return false;
        SqlStatement statement(&m_connection, sql);
        if (!statement.Exec(args)) {
            m_ok = false;
            m_error = statement.ErrorString() + " (" + sql + ")";
        }
        return m_ok;
    }
    bool Ok() const { return m_ok; }
    QString Error() const { return m_error; }
    SqlConnection& Connection() { return m_connection; }
    void Fail(const QString& error)
    {
        m_ok = false;
        m_error = error;
    }

private:
    SqlConnection& m_connection;
    bool m_ok = true;
    QString m_error;
};

QString Text(const char* s)
{
    return QString::fromUtf8(s);
}

// The largest key of seeded rows (rows added later stand where they belong,
// not last), which the key counter must not hand out again.
template <typename Rows> int LastKey(const Rows& rows)
{
    int last = 0;
    for (const auto& row : rows)
        last = qMax(last, row.id);
    return last;
}

} // namespace

namespace {

// The repair desk in the catalogue: a group, its two forms, the settings
// dialog and three rights below the list.
const Function RepairFunctions[] = {
    {"6000", "维修服务", "", "", "-1", "N", "送修机器的登记、检修、取机与维修档案"},
    {"6001", "维修登记", "TFrmRepairInput", "S", "6000", "N", "接收送修机器、检修与取机结算"},
    {"6002", "维修管理", "TFrmRepairManage", "S", "6000", "N", "查询与跟踪维修记录"},
    {"600201", "维修检修", "", "", "6002", "N", "可以开始检修、完工、返修，填写检测结果与更换配件"},
    {"600202", "取机结算", "", "", "6002", "N", "可以办理取机结算"},
    {"600203", "维修高级操作", "", "", "6002", "N", "撤销取机、取机后修改费用、删除未检修的维修记录"},
    {"6003", "维修设置", "TFrmRepairOption", "D", "6000", "N", "维修期限、常用故障与维修须知"},
};

qint64 ScalarOf(SqlConnection& c, const QString& sql, const SqlArgs& args, bool* ok)
{
    SqlStatement statement(&c, sql);
    if (!statement.Bind(args) || !statement.Step()) {
        *ok = false;
        return 0;
    }
    return statement.ColumnIsNull(0) ? 0 : statement.ColumnValue(0).toLongLong();
}

// The last place of a group of rows: the greatest OrderNum of the row
// holding `function`'s parent and all that parent's children, so that new
// rows follow that group.  The table's last place when there is no such row.
qint64 PlaceAfter(SqlConnection& c, const QString& table, const QString& key, const QString& parent,
                  const QString& function, bool* ok)
{
    const qint64 group = ScalarOf(
        c, "select " + parent + " from " + table + " where FunctionID=? order by " + key + " limit 1",
        {function}, ok);
    qint64 place = 0;
    if (group > 0)
        place = ScalarOf(c, "select max(OrderNum) from " + table + " where " + key + "=? or " + parent + "=?",
                         {group, group}, ok);
    if (place <= 0)
        place = ScalarOf(c, "select max(OrderNum) from " + table, {}, ok);
    return place;
}

} // namespace

bool AddRepairCatalogue(SqlConnection& c, QString* error)
{
    bool ok = true;
    Writer w(c);
    // A new database gets the rows when it is seeded; one that has them
    // already is left alone.
    if (ScalarOf(c, "select count(*) from AC_FUNCTIONINFO", {}, &ok) == 0 ||
        ScalarOf(c, "select count(*) from AC_FUNCTIONINFO where FunctionID=?", {"6000"}, &ok) > 0) {
        if (!ok)
            *error = c.ErrorString();
        return ok;
    }
    qint64 order = ScalarOf(c, "select max(OrderNum) from AC_FUNCTIONINFO", {}, &ok);
    for (const Function& f : RepairFunctions)
        w.Run(InsertFunction, {Text(f.id), Text(f.name), Text(f.desc), Text(f.control), Text(f.modal),
                               Text(f.parent), Text(f.isPublic), ++order});
    w.Run("update SeqTable set FuncOrderID=? where FuncOrderID is null or FuncOrderID<?", {order, order});
    // Roles that administer the system get the repair desk; others are
    // granted it by the administrator like any function.
    w.Run("insert into AC_ROLE_FUNCTION (RoleID, FunctionID) select distinct RoleID, ? from AC_ROLE_FUNCTION"
          " where FunctionID=?",
          {"6000", "4000"});

    // Menu: a 维修服务 menu after the sale menu.
    if (ScalarOf(c, "select count(*) from AC_MENUSTRUCT", {}, &ok) > 0) {
        const qint64 place = PlaceAfter(c, "AC_MENUSTRUCT", "MenuID", "ParentMenuID", "2001", &ok);
        qint64 id = qMax(ScalarOf(c, "select max(MenuID) from AC_MENUSTRUCT", {}, &ok),
                         ScalarOf(c, "select max(MenuID) from SeqTable", {}, &ok));
        w.Run("update AC_MENUSTRUCT set OrderNum=OrderNum+5 where OrderNum>?", {place});
        const qint64 top = ++id;
        w.Run(InsertMenu, {top, "维修服务(&R)", 0, "", place + 1});
        w.Run(InsertMenu, {++id, "维修登记(&I)", top, "6001", place + 2});
        w.Run(InsertMenu, {++id, "维修管理(&M)", top, "6002", place + 3});
        w.Run(InsertMenu, {++id, "-", top, "", place + 4});
        w.Run(InsertMenu, {++id, "维修设置(&S)", top, "6003", place + 5});
        const qint64 last = ScalarOf(c, "select max(OrderNum) from AC_MENUSTRUCT", {}, &ok);
        w.Run("update SeqTable set MenuID=? where MenuID is null or MenuID<?", {id, id});
        w.Run("update SeqTable set MenuOrderID=? where MenuOrderID is null or MenuOrderID<?", {last, last});
    }
    // Toolbar: two buttons after the sale buttons.
    if (ScalarOf(c, "select count(*) from AC_TOOLCFG", {}, &ok) > 0) {
        qint64 place = ScalarOf(c, "select max(OrderNum) from AC_TOOLCFG where FunctionID in (?,?)",
                                {"2001", "2002"}, &ok);
        if (place <= 0)
            place = ScalarOf(c, "select max(OrderNum) from AC_TOOLCFG", {}, &ok);
        qint64 id = qMax(ScalarOf(c, "select max(ButtonID) from AC_TOOLCFG", {}, &ok),
                         ScalarOf(c, "select max(ButtonID) from SeqTable", {}, &ok));
        w.Run("update AC_TOOLCFG set OrderNum=OrderNum+2 where OrderNum>?", {place});
        w.Run(InsertButton, {++id, "维修登记", 37, "Y", "6001", place + 1});
        w.Run(InsertButton, {++id, "维修管理", 32, "Y", "6002", place + 2});
        w.Run("update SeqTable set ButtonID=? where ButtonID is null or ButtonID<?", {id, id});
    }
    // Side bar: a group after the sale group.
    if (ScalarOf(c, "select count(*) from AC_GROUPCFG", {}, &ok) > 0) {
        const qint64 place = PlaceAfter(c, "AC_GROUPCFG", "ItemID", "ParentItemID", "2001", &ok);
        qint64 id = qMax(ScalarOf(c, "select max(ItemID) from AC_GROUPCFG", {}, &ok),
                         ScalarOf(c, "select max(ItemID) from SeqTable", {}, &ok));
        w.Run("update AC_GROUPCFG set OrderNum=OrderNum+4 where OrderNum>?", {place});
        const qint64 group = ++id;
        w.Run(InsertItem, {group, "维修服务", 37, "Y", "", 0, place + 1});
        w.Run(InsertItem, {++id, "维修登记", 37, "Y", "6001", group, place + 2});
        w.Run(InsertItem, {++id, "维修管理", 32, "Y", "6002", group, place + 3});
        w.Run(InsertItem, {++id, "维修设置", 10, "Y", "6003", group, place + 4});
        const qint64 last = ScalarOf(c, "select max(OrderNum) from AC_GROUPCFG", {}, &ok);
        w.Run("update SeqTable set ItemID=? where ItemID is null or ItemID<?", {id, id});
        w.Run("update SeqTable set ItemOrderID=? where ItemOrderID is null or ItemOrderID<?", {last, last});
    }
    if (!ok) {
        *error = c.ErrorString();
        return false;
    }
    if (!w.Ok())
        *error = w.Error();
    return w.Ok();
}

namespace {

void SeedConfiguration(Writer& w)
{
    int order = 0;
    for (const Function& f : Functions)
        w.Run(InsertFunction, {Text(f.id), Text(f.name), Text(f.desc), Text(f.control), Text(f.modal),
                               Text(f.parent), Text(f.isPublic), ++order});
    order = 0;
    for (const Menu& m : Menus)
        w.Run(InsertMenu, {m.id, Text(m.text), m.parent, Text(m.function), ++order});
    order = 0;
    for (const Button& b : Buttons)
        w.Run(InsertButton, {b.id, Text(b.text), b.icon, "Y", Text(b.function), ++order});
    order = 0;
    for (const GroupItem& g : GroupItems)
        w.Run(InsertItem, {g.id, Text(g.text), g.icon, "Y", Text(g.function), g.parent, ++order});
    const int menus = int(std::size(Menus)), items = int(std::size(GroupItems));
    int lastMenu = 0, lastItem = 0;
    for (const Menu& m : Menus)
        lastMenu = qMax(lastMenu, m.id);
    for (const GroupItem& g : GroupItems)
        lastItem = qMax(lastItem, g.id);
    w.Run("insert into SeqTable values (?,?,?,?,?,?,?)",
          {lastMenu, menus, LastKey(Buttons), int(std::size(Functions)), 1, lastItem, items});

    // The administrator role holds every top-level function (a grant covers
    // all functions below it).
    w.Run("insert into AC_ROLEINFO (RoleID,RoleName,RoleDesc) values (1,?,?)",
          {"系统管理员", "拥有全部功能"});
    for (const Function& f : Functions)
        if (QByteArray(f.parent) == "-1")
            w.Run("insert into AC_ROLE_FUNCTION values (1,?)", {Text(f.id)});
    w.Run(
        "insert into AC_USERINFO (UserID,UserName,Sex,WorkPostID,DeptID,PersonTypeID,WorkStartDate,UserPass,"
        "IsUse,PassNotOver,PassOverDate) values (?,?,?,0,0,0,?,?,?,?,?)",
        {Text(AdminUserID), "系统管理员", "男", QDate::currentDate(), PasswordHash::Hash(Text(AdminPassword)),
         "Y", "Y", QDate::currentDate().addYears(10)});
    w.Run("insert into AC_ROLE_USER values (1,?)", {Text(AdminUserID)});
    // The repair desk's functions and rows, placed as an upgrade places them.
    QString error;
    if (w.Ok() && !AddRepairCatalogue(w.Connection(), &error))
        w.Fail(error);
}

// A few visits of the repair desk in every state: a machine in warranty
// whose memory was replaced twice, late and waiting machines, a picked-up
// visit that was charged and a machine bought elsewhere.
void SeedDemoRepairs(Writer& w, const QDate& today, QHash<QString, int>& perDay)
{
    int visitCount = 0;
    struct Swap
    {
        const char* part;
        const char* oldModel;
        const char* oldSerial;
        const char* newModel;
        const char* newSerial;
        int price;
        bool covered;
    };
    const auto visit = [&](bool inWarranty, int which, int daysAgo, int status, const char* problem,
                           const char* diagnosis, const char* action, int labor, int deposit,
                           const QVector<Swap>& swaps, bool outside = false) {
        const QDateTime received(today.addDays(-daysAgo), QTime(9 + visitCount % 8, 15));
        const QString day = received.date().toString(QStringLiteral("yyMMdd"));
        const int number = ++perDay[day];
        const QString no = QStringLiteral("WX%1-%2").arg(day).arg(number, 3, 10, QChar('0'));
        ++visitCount;
        // The `which`-th sale in (or out of) warranty on the receive date.
        const QString sale =
            inWarranty
                ? QStringLiteral("(select id from SaleInfo where OverRun>=? order by id limit 1 offset ?)")
                : QStringLiteral(
                      "(select id from SaleInfo where OverRun<? order by id desc limit 1 offset ?)");
        const QDateTime ready =
            status >= 2 ? received.addDays(qMin(daysAgo, 2)).addSecs(3600 * 5) : QDateTime();
        const QDateTime picked =
            status == 3 ? ready.addDays(qMin(daysAgo - qMin(daysAgo, 2), 1)) : QDateTime();
        qint64 total = labor;
        for (const Swap& s : swaps)
            total += s.covered ? 0 : s.price;
        const auto when = [](const QDateTime& t) { return t.isValid() ? SqlArg(t) : SqlArg::Null(); };
        if (outside)
            w.Run(
                "insert into RepairInfo "
                "(RepairNo,SaleID,Outside,CustomerName,CustomerAddr,CPU,MainBoard,Memory,HD,"
                "ContactName,ContactPhone,ReceivedAt,DueAt,ReadyAt,PickedUpAt,Problem,Accessories,Appearance,"
                "Diagnosis,Action,Technician,ReceivedBy,Remark,Status,Outcome,InWarranty,WarrantyReason,"
                "LaborFee,"
                "Deposit,Total) values (?,null,1,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,0,?,?,?,?)",
                {no,
                 "钱多多",
                 "北京市朝阳区望京街道",
                 "Intel Core i7-8700",
                 "华硕 B360M",
                 "8GB DDR4 2400",
                 "1TB 机械",
                 "钱多多",
                 "186-0000-1234",
                 received,
                 received.addDays(3),
                 when(ready),
                 when(picked),
                 Text(problem),
                 "电源线",
                 "机箱侧板有划痕",
                 Text(diagnosis),
                 Text(action),
                 status >= 1 ? "王工" : "",
                 "ADMIN",
                 "",
                 status,
                 status >= 2 ? "已修复" : "",
                 "",
                 labor,
                 deposit,
                 total});
        else {
            SqlStatement find(&w.Connection(), "select id, Name, Mobile from SaleInfo where id=" + sale);
            if (!find.Bind({inWarranty ? today : received.date(), which}) || !find.Step())
                return;
            w.Run("insert into RepairInfo (RepairNo,SaleID,Outside,ContactName,ContactPhone,ReceivedAt,DueAt,"
                  "ReadyAt,PickedUpAt,Problem,Accessories,Appearance,Diagnosis,Action,Technician,ReceivedBy,"
                  "Remark,"
                  "Status,Outcome,InWarranty,WarrantyReason,LaborFee,Deposit,Total)"
                  " values (?,?,0,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)",
                  {no,
                   find.ColumnValue(0).toLongLong(),
                   find.ColumnValue(1).toString(),
                   find.ColumnValue(2).toString(),
                   received,
                   received.addDays(3),
                   when(ready),
                   when(picked),
                   Text(problem),
                   "电源线",
                   "外观完好",
                   Text(diagnosis),
                   Text(action),
                   status >= 1 ? "王工" : "",
                   "ADMIN",
                   "",
                   status,
                   status >= 2 ? "已修复" : "",
                   inWarranty ? 1 : 0,
                   "",
                   labor,
                   deposit,
                   total});
        }
        SqlStatement key(&w.Connection(), "select RepairID from RepairInfo where RepairNo=?");
        if (!key.Bind({no}) || !key.Step())
            return;
        const qint64 repairID = key.ColumnValue(0).toLongLong();
        // A swap without an old model takes the machine's memory as sold.
        QString soldMemory;
        if (!outside) {
            SqlStatement memory(&w.Connection(), "select Memory from SaleInfo where id=(select SaleID from"
                                                 " RepairInfo where RepairID=?)");
            if (memory.Bind({repairID}) && memory.Step())
                soldMemory = memory.ColumnValue(0).toString();
        }
        for (const Swap& s : swaps)
            w.Run(
                "insert into RepairSwap (RepairID,Component,OldModel,OldSerial,NewModel,NewSerial,Qty,Price,"
                "Covered,WarrantyUntil) values (?,?,?,?,?,?,1,?,?,?)",
                {repairID, Text(s.part), *s.oldModel ? Text(s.oldModel) : soldMemory, Text(s.oldSerial),
                 Text(s.newModel), Text(s.newSerial), s.price, s.covered ? 1 : 0,
                 picked.isValid() ? SqlArg(picked.date().addDays(90)) : SqlArg::Null()});
    };
    // The machine whose memory was replaced twice (in warranty both times).
    visit(true, 0, 75, 3, "开机后蓝屏，提示内存错误", "内存条损坏", "更换内存条", 0, 0,
          {{"内存", "", "KF3200-A1127", "16GB DDR4 3200", "KF3200-B5530", 29900, true}});
    visit(true, 0, 20, 3, "运行大型软件卡顿，要求升级内存", "内存容量不足",
          "升级为 32GB 内存（客户自费升级）", 0, 0,
          {{"内存", "16GB DDR4 3200", "KF3200-B5530", "32GB DDR4 3200", "CT32G-77Q1", 59900, false}});
    visit(true, 1, 0, 0, "不开机，电源指示灯不亮", "", "", 0, 0, {});
    visit(false, 0, 6, 1, "硬盘异响，系统很慢", "硬盘坏道较多", "", 0, 5000, {});
    visit(true, 2, 2, 2, "无法上网", "网卡驱动损坏", "重装网卡驱动", 0, 0, {});
    visit(false, 1, 12, 2, "屏幕花屏", "显卡显存损坏", "更换显卡", 8000, 20000,
          {{"显卡", "GeForce RTX 3060 12GB", "GPU-3060-0042", "GeForce RTX 3060 12GB", "GPU-3060-9917",
            189900, false}});
    visit(false, 2, 45, 2, "自动重启", "电源老化", "更换电源", 5000, 0,
          {{"电源", "航嘉 500W", "HJ500-7781", "航嘉 550W", "HJ550-1020", 29900, false}});
    visit(false, 3, 30, 3, "开机无显示", "主板供电损坏", "更换主板", 10000, 30000,
          {{"主板", "华硕 B660M", "B660M-55A1", "华硕 B660M", "B660M-90C3", 79900, false}});
    visit(false, 0, 4, 1, "噪音大", "CPU 风扇积灰", "", 0, 0, {}, true);
    for (auto it = perDay.cbegin(); it != perDay.cend(); ++it)
        w.Run("insert into RepairCounter (Day, LastNo) values (?,?)", {it.key(), it.value()});
}

// Two years of trade before today, so the statistics have a shape: sales
// that rise before the school year and the year's end, and visits of those
// machines, picked up and charged, with the components replaced.
void SeedDemoHistory(Writer& w, const QDate& today, QHash<QString, int>& perDay)
{
    QRandomGenerator rng(20261209);
    const char* names[] = {"赵磊", "钱敏", "孙浩", "李静", "周强", "吴婷", "郑伟", "王丽", "冯刚", "陈晨",
                           "褚明", "卫华", "蒋涛", "沈阳", "韩雪", "杨帆", "朱海", "秦岚", "许可", "何欣"};
    const char* cpus[] = {"Intel Core i5-12400", "Intel Core i7-13700", "AMD Ryzen 5 5600",
                          "AMD Ryzen 7 7700X",   "Intel Core i3-12100", "Intel Core i5-13400F",
                          "AMD Ryzen 5 7600",    "兆芯 KX-6640"};
    const char* mems[] = {"16GB DDR4 3200", "32GB DDR5 5600", "8GB DDR4 2666", "16GB DDR5 4800"};
    const char* disks[] = {"512GB NVMe 固态", "1TB NVMe 固态", "256GB 固态 + 1TB 机械", "2TB NVMe 固态"};
    const char* boards[] = {"华硕 B660M", "微星 B550M", "技嘉 B760M", "华擎 B650M"};
    const auto pick = [&rng](const auto& list) {
        return QString::fromUtf8(list[rng.bounded(int(std::size(list)))]);
    };
    for (int day = 730; day >= 1; --day) {
        const QDate buy = today.addDays(-day);
        // Busier before September and at the end of the year, quieter in February.
        const int month = buy.month();
        const int busy = month == 8 || month == 9 || month == 12 || month == 1 ? 3 : month == 2 ? 1 : 2;
        const int count = int(rng.bounded(busy + 1)) + (buy.dayOfWeek() >= 6 ? 1 : 0) - 1;
        for (int i = 0; i < count; ++i) {
            const bool special = rng.bounded(8) == 0;
            w.Run(
                "insert into SaleInfo (Name,Phone,Fax,Mobile,addr,BuyDate,OverRun,TB,BuyAmount,CPU,Memory,HD,"
                "MainBoard,Memo) values (?,?,?,?,?,?,?,?,?,?,?,?,?,?)",
                {pick(names), QStringLiteral("无"), QStringLiteral("无"),
                 QStringLiteral("13%1").arg(100000000 + rng.bounded(899999999)),
                 QStringLiteral("北京市海淀区"), buy, buy.addDays(365), special ? "1" : "0",
                 special ? "3" : "1", pick(cpus), pick(mems), pick(disks), pick(boards),
                 QStringLiteral("无")});
        }
    }
    struct Part
    {
        const char* name;
        const char* model;
        int price;
        int weight;
    };
    const Part parts[] = {{"内存", "16GB DDR4 3200", 29900, 6}, {"硬盘", "1TB NVMe 固态", 49900, 5},
                          {"电源", "航嘉 550W", 29900, 4},      {"显卡", "GeForce RTX 3060", 189900, 2},
                          {"主板", "华硕 B660M", 79900, 2},     {"风扇", "CPU 风扇", 4900, 3},
                          {"键盘", "罗技 K120", 6900, 2},       {"鼠标", "罗技 M100", 3900, 2},
                          {"显示器", "AOC 24英寸", 79900, 1}};
    const char* technicians[] = {"王工", "李工", "张工"};
    const char* problems[] = {"不开机", "蓝屏死机", "硬盘异响", "无法上网", "自动重启", "屏幕花屏", "噪音大"};
    for (int daysAgo = 720; daysAgo >= 12; daysAgo -= 1 + int(rng.bounded(4))) {
        const QDateTime received(today.addDays(-daysAgo), QTime(9 + int(rng.bounded(9)), 10));
        SqlStatement find(&w.Connection(),
                          "select id, Name, Mobile, OverRun from SaleInfo where BuyDate<? order by "
                          "BuyDate desc, id limit 1 offset ?");
        // Machines of the last year or so; the nearest one when there are fewer.
        const int back = int(rng.bounded(400));
        if (!find.Bind({received.date().addDays(-5), back}) || !find.Step()) {
            if (!find.Reset() || !find.Bind({received.date().addDays(-5), 0}) || !find.Step())
                continue;
        }
        const qint64 sale = find.ColumnValue(0).toLongLong();
        const QDate overRun =
            QDate::fromString(find.ColumnValue(3).toString().left(10), QStringLiteral("yyyy-MM-dd"));
        const bool inWarranty = overRun.isValid() && overRun > received.date();
        const QDateTime ready = received.addSecs(3600 * (6 + int(rng.bounded(24 * 6))));
        const QDateTime picked = ready.addSecs(3600 * (1 + int(rng.bounded(24 * 3))));
        const QString dayKey = received.date().toString(QStringLiteral("yyMMdd"));
        const QString no = QStringLiteral("WX%1-%2").arg(dayKey).arg(++perDay[dayKey], 3, 10, QChar('0'));
        const qint64 labor = inWarranty ? 0 : QVector<qint64>{0, 3000, 5000, 8000}[rng.bounded(4)];
        int weights = 0;
        for (const Part& part : parts)
            weights += part.weight;
        const bool swapped = rng.bounded(10) < 6;
        int roll = int(rng.bounded(weights));
        const Part* part = parts;
        while (roll >= part->weight) {
            roll -= part->weight;
            ++part;
        }
        const qint64 total = labor + (swapped && !inWarranty ? part->price : 0);
        w.Run(
            "insert into RepairInfo "
            "(RepairNo,SaleID,Outside,ContactName,ContactPhone,ReceivedAt,DueAt,ReadyAt,"
            "PickedUpAt,Problem,Accessories,Appearance,Diagnosis,Action,Technician,ReceivedBy,Remark,Status,"
            "Outcome,InWarranty,WarrantyReason,LaborFee,Deposit,Total)"
            " values (?,?,0,?,?,?,?,?,?,?,?,?,?,?,?,?,?,3,?,?,?,?,0,?)",
            {no,
             sale,
             find.ColumnValue(1).toString(),
             find.ColumnValue(2).toString(),
             received,
             received.addDays(3),
             ready,
             picked,
             pick(problems),
             QStringLiteral("无"),
             QStringLiteral("外观完好"),
             swapped ? QString::fromUtf8(part->name) + QStringLiteral("损坏") : QStringLiteral("系统故障"),
             swapped ? QStringLiteral("更换") + QString::fromUtf8(part->name) : QStringLiteral("重装系统"),
             pick(technicians),
             QStringLiteral("ADMIN"),
             QString(),
             QStringLiteral("已修复"),
             inWarranty ? 1 : 0,
             QString(),
             labor,
             total});
        if (!swapped)
            continue;
        SqlStatement key(&w.Connection(), "select RepairID from RepairInfo where RepairNo=?");
        if (!key.Bind({no}) || !key.Step())
            return;
        w.Run("insert into RepairSwap "
              "(RepairID,Component,OldModel,OldSerial,NewModel,NewSerial,Qty,Price,Covered,"
              "WarrantyUntil) values (?,?,?,?,?,?,1,?,?,?)",
              {key.ColumnValue(0).toLongLong(), QString::fromUtf8(part->name), QString::fromUtf8(part->model),
               QStringLiteral("OLD-%1").arg(no), QString::fromUtf8(part->model),
               QStringLiteral("NEW-%1").arg(no), part->price, inWarranty ? 1 : 0, picked.date().addDays(90)});
    }
}

void SeedDemo(Writer& w)
{
    w.Run("insert into AC_Company values (?,?,?,?,?,?,?,?,?,?)",
          {"岚石电脑商行", "北京市海淀区中关村大街27号", "010-62551234", "010-62555678", "010-62559999",
           "service@lanshi-pc.cn", "www.lanshi-pc.cn", "整机一年免费保修，终身维护。",
           "保修期内非人为损坏的配件免费更换。", "人为损坏、私自拆修或进水雷击不在保修范围之内。"});
    const char* depts[][2] = {{"销售部", "门市销售"}, {"技术部", "装机与维修"}, {"财务部", "收款与账目"}};
    for (int i = 0; i < 3; ++i)
        w.Run("insert into AC_DEPT values (?,?,?)", {i + 1, Text(depts[i][0]), Text(depts[i][1])});
    const char* posts[][2] = {{"店长", "负责门店"}, {"销售员", "接待顾客"}, {"维修工程师", "售后维修"}};
    for (int i = 0; i < 3; ++i)
        w.Run("insert into AC_WORKPOST values (?,?,?)", {i + 1, Text(posts[i][0]), Text(posts[i][1])});
    const char* types[][2] = {{"正式员工", ""}, {"试用员工", "三个月试用期"}, {"临时工", ""}};
    for (int i = 0; i < 3; ++i)
        w.Run("insert into AC_PERSONTYPE values (?,?,?)", {i + 1, Text(types[i][0]), Text(types[i][1])});
    const char* areas[][4] = {{"110108", "100080", "北京", "北京市"}, {"310104", "200030", "上海", "上海市"},
                              {"440305", "518057", "深圳", "广东省"}, {"440106", "510630", "广州", "广东省"},
                              {"330106", "310012", "杭州", "浙江省"}, {"320102", "210018", "南京", "江苏省"},
                              {"510107", "610041", "成都", "四川省"}, {"420111", "430070", "武汉", "湖北省"}};
    for (const auto& a : areas)
        w.Run("insert into AreaData values (?,?,?,?)", {Text(a[0]), Text(a[1]), Text(a[2]), Text(a[3])});

    const char* names[] = {"张伟", "王芳", "李娜", "刘洋", "陈静", "杨磊", "赵敏", "黄勇", "周杰", "吴霞",
                           "徐涛", "孙丽", "马强", "朱琳", "胡军", "郭燕", "何平", "高峰", "林雪", "罗斌"};
    const char* addrs[] = {"北京",
                           "北京市海淀区学院路15号",
                           "北京市朝阳区建国路88号",
                           "上海市徐汇区漕溪北路1号",
                           "深圳市南山区科技园",
                           "广州市天河区体育西路",
                           "杭州市西湖区文三路"};
    const char* cpus[] = {"Intel Core i5-12400", "Intel Core i7-13700", "AMD Ryzen 5 5600",
                          "AMD Ryzen 7 7700X", "Intel Core i3-12100"};
    const char* boards[] = {"华硕 B660M", "微星 B550M", "技嘉 B760M", "华擎 B650M"};
    const char* mems[] = {"16GB DDR4 3200", "32GB DDR5 5600", "8GB DDR4 2666", "16GB DDR5 4800"};
    const char* disks[] = {"512GB NVMe 固态", "1TB NVMe 固态", "256GB 固态 + 1TB 机械", "2TB NVMe 固态"};
    const char* cards[] = {"集成显卡", "GeForce RTX 3060 12GB", "Radeon RX 6600", "GeForce RTX 4070"};
    const char* displays[] = {"AOC 24英寸", "戴尔 27英寸 2K", "飞利浦 23.8英寸", "无"};
    QRandomGenerator rng(20261208);
    const QDate today = QDate::currentDate();
    for (int i = 0; i < 36; ++i) {
        const QDate buy = today.addDays(-int(rng.bounded(900)) + 30 * (i % 3 == 0));
        const QDate over = buy.addDays(365);
        const bool special = i % 7 == 3;
        auto pick = [&rng](const auto& list) { return Text(list[rng.bounded(int(std::size(list)))]); };
        const QString mobile = QStringLiteral("13%1").arg(100000000 + rng.bounded(899999999));
        w.Run("insert into SaleInfo (Name,Phone,Fax,Mobile,addr,BuyDate,OverRun,TB,BuyAmount,CPU,Memory,HD,"
              "DisplayCard,Sound,MainBoard,Box,Display,Power,Floppy,CDROM,Mouse,KeyBoard,SoundBox,NetWork,"
              "Modem,"
              "Print,Other,Memo) values (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)",
              {Text(names[i % std::size(names)]),
               i % 4 == 0 ? QStringLiteral("无") : QStringLiteral("010-6%1").arg(2000000 + i * 137),
               QStringLiteral("无"),
               mobile,
               pick(addrs),
               buy,
               over,
               special ? "1" : "0",
               QString::number(i % 5 == 0 ? 2 + i % 3 : 1),
               pick(cpus),
               pick(mems),
               pick(disks),
               pick(cards),
               "板载声卡",
               pick(boards),
               "先马 平头哥",
               pick(displays),
               "航嘉 500W",
               "无",
               i % 6 == 0 ? "DVD刻录机" : "无",
               "罗技 M100",
               "罗技 K120",
               i % 3 == 0 ? "漫步者 R101V" : "无",
               "板载千兆网卡",
               "无",
               i % 8 == 0 ? "惠普 LaserJet" : "无",
               "无",
               special ? QStringLiteral("单位客户，上门服务。") : QStringLiteral("无")});
    }
    QHash<QString, int> perDay;
    SeedDemoHistory(w, today, perDay);
    SeedDemoRepairs(w, today, perDay);
}

} // namespace

namespace {

// The schema and the configuration (and the demo data) in one transaction:
// a failure leaves nothing behind on a server either.
bool Populate(SqlConnection& connection, bool demo, QString* error)
{
    SqlTransaction transaction(&connection);
    if (!transaction.IsActive()) {
        *error = connection.ErrorString();
        return false;
    }
    if (!Schema::Upgrade(connection, error))
        return false;
    Writer w(connection);
    SeedConfiguration(w);
    if (demo)
        SeedDemo(w);
    if (!w.Ok()) {
        *error = w.Error();
        return false;
    }
    if (!transaction.Commit()) {
        *error = connection.ErrorString();
        return false;
    }
    return true;
}

} // namespace

bool InitDatabase(const QString& fileName, bool demo, QString* error)
{
    if (QFileInfo::exists(fileName)) {
        *error = QStringLiteral("数据库文件已经存在，不会覆盖：") + fileName;
        return false;
    }
    if (!QDir().mkpath(QFileInfo(fileName).absolutePath())) {
        *error = QStringLiteral("无法创建文件夹：") + QFileInfo(fileName).absolutePath();
        return false;
    }
    bool ok = false;
    {
        SqlConnection connection;
        if (!connection.Create(fileName)) {
            *error = connection.ErrorString();
            return false;
        }
        ok = Populate(connection, demo, error);
    }
    if (!ok)
        QFile::remove(fileName);
    return ok;
}

bool InitServerDatabase(const PgServer& server, bool demo, QString* error)
{
    SqlConnection connection;
    if (!connection.OpenServer(server)) {
        *error = QStringLiteral("无法连接数据库服务器：") + connection.ErrorString();
        return false;
    }
    // Only an empty database is set up: tables of anything else stay as
    // they are.
    SqlStatement tables(&connection, "select count(*) from information_schema.tables"
                                     " where table_schema=current_schema()");
    if (!tables.Step()) {
        *error = tables.ErrorString();
        return false;
    }
    if (tables.ColumnValue(0).toLongLong() != 0) {
        *error = QStringLiteral("数据库 %1 不是空的，不会覆盖。").arg(server.name);
        return false;
    }
    return Populate(connection, demo, error);
}

bool InitConfiguredDatabase(bool demo, QString* error)
{
    if (Settings::DatabaseIsServer())
        return InitServerDatabase(Settings::DatabaseServer(), demo, error);
    return InitDatabase(GetAppDir() + "data/data.mdb", demo, error);
}

bool RestoreSeededInterface(SeededInterface part, QString* error)
{
    SqlTransaction transaction(CurrentConnection());
    QString failure;
    const auto run = [&failure](const QString& sql, const SqlArgs& args = {}) {
        return failure.isEmpty() && ExecCommand(sql, args, &failure);
    };
    // The counters never go back: keys handed out before stay unique.
    const auto raise = [&run](const char* column, int value) {
        const QString name = QString::fromLatin1(column);
        return run(QStringLiteral("update SeqTable set %1=? where %1 is null or %1<?").arg(name),
                   {value, value});
    };
    bool ok = transaction.IsActive();
    int order = 0;
    switch (part) {
    case SeededInterface::Menu:
        ok = ok && run(QStringLiteral("delete from AC_MENUSTRUCT"));
        for (const Menu& m : Menus)
            ok = ok && run(InsertMenu, {m.id, Text(m.text), m.parent, Text(m.function), ++order});
        ok = ok && raise("MenuID", LastKey(Menus)) && raise("MenuOrderID", order);
        break;
    case SeededInterface::Toolbar:
        ok = ok && run(QStringLiteral("delete from AC_TOOLCFG"));
        for (const Button& b : Buttons)
            ok = ok && run(InsertButton, {b.id, Text(b.text), b.icon, "Y", Text(b.function), ++order});
        ok = ok && raise("ButtonID", LastKey(Buttons));
        break;
    case SeededInterface::GroupBar:
        ok = ok && run(QStringLiteral("delete from AC_GROUPCFG"));
        for (const GroupItem& g : GroupItems)
            ok =
                ok && run(InsertItem, {g.id, Text(g.text), g.icon, "Y", Text(g.function), g.parent, ++order});
        ok = ok && raise("ItemID", LastKey(GroupItems)) && raise("ItemOrderID", order);
        break;
    }
    ok = ok && transaction.Commit();
    if (!ok && error)
        *error = failure.isEmpty() ? CurrentConnection()->ErrorString() : failure;
    return ok;
}
