#include "ChangeLogCaptions.h"

#include "SaleFileColumns.h"

#include <QHash>

namespace ChangeLogCaptions {

namespace {

struct Caption
{
    const char* name;
    const char16_t* caption;
};

const Caption TableCaptions[] = {
    {"SaleInfo", u"销售记录"},     {"AC_USERINFO", u"用户"},          {"AC_ROLEINFO", u"角色"},
    {"AC_ROLE_USER", u"用户角色"}, {"AC_ROLE_FUNCTION", u"角色功能"}, {"AC_FUNCTION_USER", u"用户功能"},
    {"AC_Company", u"本单位信息"}, {"ChangeLog", u"修改记录"},        {"RepairInfo", u"维修记录"},
    {"RepairSwap", u"更换配件"},
};

// Fields of the administration tables, keyed "table.field" in lower case.
const Caption FieldCaptions[] = {
    {"ac_userinfo.userid", u"用户代码"},
    {"ac_userinfo.username", u"用户姓名"},
    {"ac_userinfo.sex", u"性别"},
    {"ac_userinfo.workpostid", u"职务"},
    {"ac_userinfo.deptid", u"部门"},
    {"ac_userinfo.persontypeid", u"职员类型"},
    {"ac_userinfo.workstartdate", u"参加工作日期"},
    {"ac_userinfo.hometel", u"家庭电话"},
    {"ac_userinfo.worktel", u"办公电话"},
    {"ac_userinfo.mobiletel", u"手机"},
    {"ac_userinfo.email", u"电子邮件"},
    {"ac_userinfo.qq", u"QQ"},
    {"ac_userinfo.msn", u"MSN"},
    {"ac_userinfo.address", u"地址"},
    {"ac_userinfo.userpass", u"密码"},
    {"ac_userinfo.isuse", u"启用"},
    {"ac_userinfo.passnotover", u"密码永不过期"},
    {"ac_userinfo.passoverdate", u"密码过期日期"},
    {"ac_roleinfo.roleid", u"角色编号"},
    {"ac_roleinfo.rolename", u"角色名称"},
    {"ac_roleinfo.roledesc", u"角色说明"},
    {"ac_role_user.roleid", u"角色编号"},
    {"ac_role_user.userid", u"用户代码"},
    {"ac_role_function.roleid", u"角色编号"},
    {"ac_role_function.functionid", u"功能编号"},
    {"ac_function_user.functionid", u"功能编号"},
    {"ac_function_user.userid", u"用户代码"},
    {"ac_company.name", u"单位名称"},
    {"ac_company.addr", u"单位地址"},
    {"ac_company.phone", u"电话"},
    {"ac_company.phone1", u"电话2"},
    {"ac_company.fax", u"传真"},
    {"ac_company.mail", u"电子邮件"},
    {"ac_company.web", u"网址"},
    {"ac_company.cn1", u"服务承诺1"},
    {"ac_company.cn2", u"服务承诺2"},
    {"ac_company.cn3", u"服务承诺3"},
    {"changelog.before", u"清理早于"},
    {"changelog.count", u"清理条数"},
    {"saleinfo.rowversion", u"版本"},
};

} // namespace

QString TableCaption(const QString& table)
{
    for (const Caption& c : TableCaptions)
        if (table.compare(QLatin1String(c.name), Qt::CaseInsensitive) == 0)
            return QString::fromUtf16(c.caption);
    return table;
}

QStringList Tables()
{
    QStringList names;
    for (const Caption& c : TableCaptions)
        names << QString::fromLatin1(c.name);
    return names;
}

QString FieldCaption(const QString& table, const QString& field)
{
    static const QHash<QString, QString> captions = [] {
        QHash<QString, QString> all;
        for (const Caption& c : FieldCaptions)
            all.insert(QString::fromLatin1(c.name), QString::fromUtf16(c.caption));
        // A sale record's fields by the record manager's column captions.
        const QVector<SaleFileColumns::Column>& columns = SaleFileColumns::All();
        for (int i = 0; i < columns.size(); ++i)
            all.insert("saleinfo." + QString::fromLatin1(columns[i].field).toLower(),
                       SaleFileColumns::Caption(i));
        return all;
    }();
    return captions.value(table.toLower() + '.' + field.toLower(), field);
}

QString ValueText(const QVariant& value)
{
    if (value.isNull())
        return QStringLiteral("（空）");
    QString text = value.toString();
    // Dates stored at midnight read as dates.
    if (text.size() == 19 && text.endsWith(QLatin1String(" 00:00:00")) && text[4] == '-')
        text.chop(9);
    return text;
}

QString Summary(const QString& table, const QString& action, const QVector<ChangeLog::Field>& fields)
{
    QStringList parts;
    const bool update = action == ChangeLog::Updated;
    const bool removed = action == ChangeLog::Deleted;
    for (const ChangeLog::Field& field : fields) {
        const QString caption = FieldCaption(table, field.name);
        if (update)
            parts << caption + QStringLiteral("：") + ValueText(field.oldValue) + QStringLiteral(" → ") +
                         ValueText(field.newValue);
        else if (!(removed ? field.oldValue : field.newValue).isNull())
            parts << caption + QStringLiteral("：") + ValueText(removed ? field.oldValue : field.newValue);
    }
    return parts.join(QStringLiteral("；"));
}

} // namespace ChangeLogCaptions
