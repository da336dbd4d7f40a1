#include "IconList.h"

#include <QGuiApplication>
#include <QHash>
#include <QIconEngine>
#include <QPainter>

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

namespace {

// An icon of the list whose two images are decoded when it is first drawn or
// measured, not when it is handed out: a login gives hundreds of toolbar
// buttons and menu entries their icons, of which only those on screen are
// ever drawn.
class DeferredIconEngine : public QIconEngine
{
public:
    explicit DeferredIconEngine(int index) : m_index(index) {}

    // Drawn as an icon of plain images draws: its image for the size of
    // `rect` on the painter's device, stretched to fill it.
    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override
    {
        const QPaintDevice* device = painter->device();
        const qreal ratio = device ? device->devicePixelRatio() : qApp->devicePixelRatio();
        painter->drawPixmap(rect, Loaded().pixmap(rect.size(), ratio, mode, state));
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        return Loaded().pixmap(size, mode, state);
    }
    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state, qreal scale) override
    {
        return Loaded().pixmap(size, scale, mode, state);
    }
    QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        return Loaded().actualSize(size, mode, state);
    }
    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override
    {
        return Loaded().availableSizes(mode, state);
    }
    // A copy that is given more images (QIcon clones the engine first).
    void addPixmap(const QPixmap& pixmap, QIcon::Mode mode, QIcon::State state) override
    {
        Loaded();
        m_loaded.addPixmap(pixmap, mode, state);
    }
    void addFile(const QString& fileName, const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        Loaded();
        m_loaded.addFile(fileName, size, mode, state);
    }
    // Every index of the list has its two images: known without decoding.
    bool isNull() override { return false; }
    QIconEngine* clone() const override { return new DeferredIconEngine(*this); }
    QString key() const override { return QStringLiteral("weibao-icon-list"); }

private:
    const QIcon& Loaded()
    {
        if (m_loaded.isNull()) {
            m_loaded.addPixmap(LoadPixmap(m_index, 16));
            m_loaded.addPixmap(LoadPixmap(m_index, 32));
        }
        return m_loaded;
    }

    int m_index;
    QIcon m_loaded;
};

} // namespace

QIcon IconList::Icon(int index)
{
    // Made once per index and shared: a toolbar of hundreds of buttons asks
    // for the same few icons again and again.
    // (Left to the end of the process: no pixmap outlives the application.)
    static auto* made = new QHash<int, QIcon>;
    if (index < 0 || index >= Count())
        return QIcon();
    if (const auto it = made->constFind(index); it != made->cend())
        return *it;
    const QIcon icon(new DeferredIconEngine(index));
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
