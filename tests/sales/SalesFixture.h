#pragma once

#include "DataAccess.h"
#include "Shell.h"
#include "TestEnv.h"

#include <QApplication>
#include <QDate>
#include <QKeyEvent>
#include <QPointer>
#include <QWidget>
#include <functional>

// A main window stand-in: FindOpenForm answers with the record manager under
// test, the rest does nothing.
class FakeShell : public Shell
{
public:
    FakeShell() { Shell::Install(this); }
    ~FakeShell() override { Shell::Install(nullptr); }

    QPointer<QWidget> manager;

    QWidget* MainWindow() override { return nullptr; }
    QMdiArea* MdiArea() override { return nullptr; }
    bool RunFunction(const QString&) override { return false; }
    QWidget* FindOpenForm(const QString& className) override
    {
        return className == "TFrmSaleManage" ? manager.data() : nullptr;
    }
    void AddOpenWindowItem(TDefForm*) override {}
    void RemoveOpenWindowItem(TDefForm*) override {}
};

// Every stored field of a sale record but the key, named (a whole-row
// comparison must not see the server's rowid or columns added later).
inline const QString SaleColumns =
    "Name,Phone,Fax,Mobile,addr,BuyDate,OverRun,TB,BuyAmount,CPU,Memory,HD,DisplayCard,Sound,"
    "MainBoard,Box,Display,Power,Floppy,CDROM,Mouse,KeyBoard,SoundBox,NetWork,Modem,Print,"
    "Other,Memo";

// Inserts `count` rows into SaleInfo's `columns` (comma-separated), the
// values of row i (1..count) from `row`, every value bound, in statements of
// many rows inside one transaction: the same on both engines and quick for
// tens of thousands of rows.
inline bool InsertGenerated(const QString& columns, int count, const std::function<SqlArgs(int)>& row)
{
    const int width = int(columns.count(',')) + 1;
    const int perStatement = 500;
    const QString oneRow = '(' + QStringLiteral("?,").repeated(width - 1) + "?)";
    SqlTransaction transaction(CurrentConnection());
    for (int first = 1; first <= count; first += perStatement) {
        const int rows = qMin(perStatement, count - first + 1);
        QStringList marks;
        SqlArgs args;
        for (int i = first; i < first + rows; ++i) {
            marks << oneRow;
            args << row(i);
        }
        SqlStatement insert(CurrentConnection(),
                            "insert into SaleInfo (" + columns + ") values " + marks.join(','));
        if (!insert.Exec(args)) {
            qWarning("%s", qPrintable(insert.ErrorString()));
            return false;
        }
    }
    return transaction.Commit();
}

// A trigger that refuses to insert a sale record named `name` with
// `message`.  `endTransaction`: SQLite's RAISE(ROLLBACK), which ends the
// whole transaction; a server's error spoils its transaction either way.
inline bool RefuseInsertOf(const QString& name, const QString& message, bool endTransaction = false)
{
    // Test data only: the texts are written into the trigger, which takes no
    // bound values.
    if (TestEnv::OnServer())
        return ExecCommand("create function refuse_insert() returns trigger language plpgsql as "
                           "$$ begin raise exception '" +
                           message + "'; end $$") &&
               ExecCommand("create trigger refuse before insert on SaleInfo for each row when (new.Name='" +
                           name + "') execute function refuse_insert()");
    return ExecCommand("create trigger refuse before insert on SaleInfo when new.Name='" + name +
                       "' begin select raise(" + (endTransaction ? "rollback" : "abort") + ", '" + message +
                       "'); end");
}

inline bool DropRefusal()
{
    if (TestEnv::OnServer())
        return ExecCommand("drop trigger refuse on SaleInfo") && ExecCommand("drop function refuse_insert()");
    return ExecCommand("drop trigger refuse");
}

// The names of the stored records in id order, run together.
inline QString NamesInIdOrder()
{
    QString names;
    SqlStatement select(CurrentConnection(), "select Name from SaleInfo order by id");
    while (select.Step())
        names += select.ColumnValue(0).toString();
    return names;
}

// One SaleInfo row as the entry dialog writes it; components "无".
struct Sale
{
    QString name = QStringLiteral("张伟");
    QString addr = QStringLiteral("北京市海淀区");
    QDate buy = QDate::currentDate().addDays(-10);
    QDate over = QDate::currentDate().addDays(355);
    QString tb = "0";
    QString amount = "1";
    QString cpu = "Intel Core i5";
    QString memo = QStringLiteral("无");
};

inline qint64 InsertSale(const Sale& s)
{
    const QString none = QStringLiteral("无");
    const bool ok = ExecCommand(
        "insert into SaleInfo "
        "(Name,Phone,Fax,Mobile,addr,BuyDate,OverRun,TB,BuyAmount,CPU,Memory,HD,DisplayCard,"
        "Sound,MainBoard,Box,Display,Power,Floppy,CDROM,Mouse,KeyBoard,SoundBox,NetWork,Modem,Print,Other,"
        "Memo) "
        "values (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)",
        {s.name, "010-62001234", none, "13800138000", s.addr, s.buy, s.over, s.tb,  s.amount, s.cpu,
         none,   none,           none, none,          none,   none,  none,   none,  none,     none,
         none,   none,           none, none,          none,   none,  none,   s.memo});
    if (!ok)
        return -1;
    SqlStatement last(CurrentConnection(), "select max(id) from SaleInfo");
    return last.Step() ? last.ColumnValue(0).toLongLong() : -1;
}

// Types text as key presses carrying it (QTest::keyClicks takes Latin-1
// only); a surrogate pair goes as one key.
inline void TypeText(QWidget* widget, const QString& text)
{
    for (int i = 0; i < text.size(); ++i) {
        const int width = text[i].isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, text.mid(i, width));
        QApplication::sendEvent(widget, &press);
        QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, text.mid(i, width));
        QApplication::sendEvent(widget, &release);
        i += width - 1;
    }
}
