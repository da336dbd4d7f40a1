#include "IconList.h"

#include <QHash>

#include <array>

static_assert(IconList::IconCount == WEIBAO_ICON_COUNT,
              "IconList::Index and the icon files in CMakeLists.txt must have the same length");

// The resource lives in this static library; registering it here makes the
// linker keep it and works before any other code touches the icons.
static void EnsureIconResource()
{
    static const bool registered = [] {
        Q_INIT_RESOURCE(weibao_icons);
        return true;
    }();
    Q_UNUSED(registered);
}

static QPixmap LoadPixmap(int index, int size)
{
    if (index < 0 || index >= IconList::Count())
        return QPixmap();
    EnsureIconResource();
    // QPixmap keeps loaded files in QPixmapCache, so repeated calls are cheap.
    return QPixmap(QStringLiteral(":/icons/%1/%2.png").arg(size).arg(index));
}

QIcon IconList::Icon(int index)
{
    // Made once per index and shared: a toolbar of hundreds of buttons asks
    // for the same few icons again and again.
    // (Left to the end of the process: no pixmap outlives the application.)
    static auto* made = new QHash<int, QIcon>;
    if (const auto it = made->constFind(index); it != made->cend())
        return *it;
    QIcon icon;
    const QPixmap small = LoadPixmap(index, 16);
    if (small.isNull())
        return icon;
    icon.addPixmap(small);
    icon.addPixmap(LoadPixmap(index, 32));
    made->insert(index, icon);
    return icon;
}

QPixmap IconList::Small(int index)
{
    return LoadPixmap(index, 16);
}

QPixmap IconList::Large(int index)
{
    return LoadPixmap(index, 32);
}

QString IconList::Meaning(int index)
{
    static const std::array<const char*, IconCount> meanings = {
        "窗体",       "打开文件夹", "用户",   "角色",   "密码",     "退出",     "功能权限",     "菜单设置",
        "工具栏设置", "主窗体",     "设置",   "计算器", "记事本",   "注销",     "重新登录",     "邮件",
        "打印",       "打印预览",   "保存",   "查找",   "刷新",     "数据库",   "备份",         "关于",
        "恢复",       "压缩",       "本单位", "字典",   "销售记录", "客户录入", "删除",         "添加",
        "编辑",       "皮肤",       "日历",   "时钟",   "日志",     "电脑",     "GroupBar设置", "报表",
        "导出",       "帮助",       "网页",   "警告",   "错误",     "关闭",     "文件夹",       "清理"};
    if (index < 0 || index >= IconCount)
        return QString();
    return QString::fromUtf8(meanings[static_cast<size_t>(index)]);
}
