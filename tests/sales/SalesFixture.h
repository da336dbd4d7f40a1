#pragma once

#include "DataAccess.h"
#include "Shell.h"

#include <QApplication>
#include <QDate>
#include <QKeyEvent>
#include <QPointer>
#include <QWidget>

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
