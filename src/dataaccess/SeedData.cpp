#include "SeedData.h"

#include "AppDir.h"
#include "PasswordHash.h"
#include "Schema.h"
#include "Settings.h"
#include "SqlConnection.h"

#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>

namespace {

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

private:
    SqlConnection& m_connection;
    bool m_ok = true;
    QString m_error;
};

QString Text(const char* s)
{
    return QString::fromUtf8(s);
}

void SeedConfiguration(Writer& w)
{
    int order = 0;
    for (const Function& f : Functions)
        w.Run("insert into AC_FUNCTIONINFO values (?,?,?,?,?,?,?,?)",
              {Text(f.id), Text(f.name), Text(f.desc), Text(f.control), Text(f.modal), Text(f.parent),
               Text(f.isPublic), ++order});
    order = 0;
    for (const Menu& m : Menus)
        w.Run("insert into AC_MENUSTRUCT values (?,?,?,?,?)",
              {m.id, Text(m.text), m.parent, Text(m.function), ++order});
    order = 0;
    for (const Button& b : Buttons)
        w.Run("insert into AC_TOOLCFG values (?,?,?,?,?,?)",
              {b.id, Text(b.text), b.icon, "Y", Text(b.function), ++order});
    order = 0;
    for (const GroupItem& g : GroupItems)
        w.Run("insert into AC_GROUPCFG values (?,?,?,?,?,?,?)",
              {g.id, Text(g.text), g.icon, "Y", Text(g.function), g.parent, ++order});
    const int menus = int(std::size(Menus)), buttons = int(std::size(Buttons)),
              items = int(std::size(GroupItems));
    int lastMenu = 0, lastItem = 0;
    for (const Menu& m : Menus)
        lastMenu = qMax(lastMenu, m.id);
    for (const GroupItem& g : GroupItems)
        lastItem = qMax(lastItem, g.id);
    w.Run("insert into SeqTable values (?,?,?,?,?,?,?)",
          {lastMenu, menus, Buttons[buttons - 1].id, int(std::size(Functions)), 1, lastItem, items});

    // The administrator role holds every top-level function (a grant covers
    // all functions below it).
    w.Run("insert into AC_ROLEINFO values (1,?,?)", {"系统管理员", "拥有全部功能"});
    for (const Function& f : Functions)
        if (QByteArray(f.parent) == "-1")
            w.Run("insert into AC_ROLE_FUNCTION values (1,?)", {Text(f.id)});
    w.Run(
        "insert into AC_USERINFO (UserID,UserName,Sex,WorkPostID,DeptID,PersonTypeID,WorkStartDate,UserPass,"
        "IsUse,PassNotOver,PassOverDate) values (?,?,?,0,0,0,?,?,?,?,?)",
        {Text(AdminUserID), "系统管理员", "男", QDate::currentDate(), PasswordHash::Hash(Text(AdminPassword)),
         "Y", "Y", QDate::currentDate().addYears(10)});
    w.Run("insert into AC_ROLE_USER values (1,?)", {Text(AdminUserID)});
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
