#include "SaleFileColumns.h"

#include "SaleListModel.h"

namespace SaleFileColumns {

const QVector<Column>& All()
{
    // Captions other programs and shops' own sheets commonly use.
    static const QVector<Column> columns{
        {"id", Key, 0, {"编号", "序号", "记录号"}},
        {"Name", Required, 8, {"客户名称", "姓名", "客户姓名", "用户名称", "客户名", "用户名", "客户"}},
        {"Phone", Optional, 20, {"电话号码", "联系电话", "固定电话", "座机"}},
        {"Fax", Optional, 20, {"传真号码", "传真号"}},
        {"Mobile", Optional, 15, {"手机号码", "手机号", "移动电话"}},
        {"addr", Required, 100, {"客户地址", "联系地址", "用户地址", "住址", "通信地址"}},
        {"BuyDate", BuyDate, 0, {"购机日期", "购买时间", "销售日期", "购机时间"}},
        {"OverRun", WarrantyEnd, 0, {"保修截止日期", "保修到期日", "保修期至", "过保时间", "保修截止"}},
        {"TB", Class, 0, {"特殊客户", "客户类别", "客户类型", "特别客户"}},
        {"BuyAmount", Amount, 3, {"数量", "台数", "购买数量"}},
        {"CPU", Optional, 40, {"处理器", "CPU"}},
        {"Memory", Optional, 40, {}},
        {"HD", Optional, 40, {}},
        {"DisplayCard", Optional, 40, {}},
        {"Sound", Optional, 40, {}},
        {"MainBoard", Optional, 40, {}},
        {"Box", Optional, 40, {}},
        {"Display", Optional, 40, {}},
        {"Power", Optional, 40, {}},
        {"Floppy", Optional, 40, {}},
        {"CDROM", Optional, 40, {}},
        {"Mouse", Optional, 40, {}},
        {"KeyBoard", Optional, 40, {}},
        {"SoundBox", Optional, 40, {}},
        {"NetWork", Optional, 40, {}},
        {"Modem", Optional, 40, {"调制解调器"}},
        {"Print", Optional, 40, {}},
        {"Other", Optional, 200, {"其他配置", "其它", "其他"}},
        {"Memo", Optional, 0, {"说明", "附注"}},
    };
    Q_ASSERT(columns.size() == SaleListModel::ColumnCount);
    return columns;
}

QString Caption(int column)
{
    return SaleListModel::Caption(column);
}

QString SelectList()
{
    QStringList fields;
    for (const Column& column : All())
        fields << QLatin1String(column.field);
    return fields.join(',');
}

namespace {

QString Normalized(QString text)
{
    text.replace(QChar(0xFF08), '(');
    text.replace(QChar(0xFF09), ')');
    text.remove(QChar(0x3000));
    text.remove(' ');
    text.remove('\t');
    return text.toCaseFolded();
}

} // namespace

int Find(const QString& header)
{
    const QString wanted = Normalized(header);
    if (wanted.isEmpty())
        return -1;
    const QVector<Column>& columns = All();
    for (int i = 0; i < columns.size(); ++i) {
        if (Normalized(Caption(i)) == wanted)
            return i;
        for (const QString& alias : columns[i].aliases)
            if (Normalized(alias) == wanted)
                return i;
    }
    return -1;
}

} // namespace SaleFileColumns
