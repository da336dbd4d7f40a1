// Times the record manager over generated sale records: "所有客户" until the
// list is shown and painted once, the peak memory, the scroll bar dragged to
// the end and back (beside the list grown to its end with every row held, as
// lists were read before the window), searches on 地址 and 过保日期, the expiring-soon filter, and quick find
// beside a LIKE '%…%' scan of the same columns (on the server also beside
// quick find as it was, without its index condition); then the same rows filled
// item by item into a QTreeWidget, as a list view was filled before, as the
// baseline.  On the PostgreSQL server named by PGHOST, PGPORT and PGUSER the
// same is timed at 100 000 records beside SQLite (the server run is left out,
// with the reason, when no server answers).
//   bench_sales                 runs 100 000 records on SQLite, the same on the
//                               server, then 1 000 000 on SQLite, each in a process of its own
//   bench_sales N [--no-baseline] [--server]
#include "AppDir.h"
#include "BenchSupport.h"
#include "QuickFind.h"
#include "SaleListModel.h"
#include "SeedData.h"
#include "SqlConnection.h"
#include "SqlDialect.h"
#include "TDataM.h"
#include "TFrmSaleManage.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QProcess>
#include <QScrollBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <array>
#include <cstdio>

namespace {

using Bench::Ms;
using Bench::PeakMegabytes;

// One statement in one transaction: purchase dates spread over ten years in
// id order (as a shop records them), one address in seven "北京", one
// customer in fifty special.  The same rows on both engines; only the series
// and the date arithmetic are written in each engine's words.
bool Generate(int count)
{
    const bool server = CurrentConnection()->IsServer();
    const QString series = server
                               ? "with c(i) as (select generate_series(1, ?::int)) "
                               : "with recursive c(i) as (select 1 union all select i+1 from c where i<?) ";
    const QString buyDate = server ? "date '2015-01-01' + (i*3650/?::int)"
                                   : "date('2015-01-01','+'||(i*3650/?)||' days')||' 00:00:00'";
    const QString overRun = server ? "date '2015-01-01' + (i*3650/?::int+365)"
                                   : "date('2015-01-01','+'||(i*3650/?+365)||' days')||' 00:00:00'";
    SqlTransaction transaction(CurrentConnection());
    SqlStatement insert(
        CurrentConnection(),
        series +
            "insert into SaleInfo "
            "(Name,Phone,Fax,Mobile,addr,BuyDate,OverRun,TB,BuyAmount,CPU,Memory,HD,DisplayCard,"
            "Sound,MainBoard,Box,Display,Power,Floppy,CDROM,Mouse,KeyBoard,SoundBox,NetWork,Modem,Print,"
            "Other,"
            "Memo) "
            "select '客户'||(i%5000), '010-'||(62000000+i), '无', '138'||(10000000+i), "
            "case i%7 when 0 then '北京' else '北京市海淀区学院路'||(i%300)||'号' end, " +
            buyDate + ", " + overRun +
            ", "
            "case when i%50=0 then '1' else '0' end, '1', 'Intel Core i5-12400', '16GB DDR4 3200', '512GB "
            "NVMe "
            "固态', "
            "'GeForce RTX 3060', '板载声卡', '华硕 B660M', '先马 平头哥', 'AOC 24英寸', '航嘉 500W', '无', "
            "'DVD刻录机', "
            "'罗技 M100', '罗技 K120', '漫步者 R101V', '板载千兆网卡', '无', '无', '无', '第'||i||'台' from "
            "c");
    if (!insert.Exec({count, count, count}) || !transaction.Commit())
        return false;
    // As the server's background analysis would soon after such a load.
    const QString analyze = SqlDialect::RefreshStatistics(CurrentConnection(), "SaleInfo");
    return analyze.isEmpty() || CurrentConnection()->ExecRaw(analyze);
}

// The record manager's search by every searchable column on the server:
// "=" a value one row holds and "=" a value none holds (the search that
// reads the whole table when no index serves it), each to its first page,
// first without the search indexes (dropped, the baseline) and then with
// them (made again as the schema makes them).
void TimeEveryColumnSearch(TFrmSaleManage* manager)
{
    struct Index
    {
        QString name, definition;
    };
    QVector<Index> indexes;
    SqlStatement read(CurrentConnection(),
                      "select indexname, indexdef from pg_indexes where tablename='saleinfo'"
                      " and indexname like 'saleinfo_search_%' order by indexname");
    while (read.Step())
        indexes.append({read.ColumnValue(0).toString(), read.ColumnValue(1).toString()});
    auto* field = manager->findChild<QComboBox*>("CmbSearchName");
    auto* op = manager->findChild<QComboBox*>("CmbOperator");
    auto* value = manager->findChild<QLineEdit*>("EditTJ");
    const QVector<SaleRecord::SearchField>& fields = SaleRecord::SearchFields();
    // [field][0: present, 1: absent][0: baseline, 1: indexed]
    QVector<std::array<std::array<double, 2>, 2>> ms(fields.size());
    QVector<QString> present(fields.size());
    for (int f = 0; f < fields.size(); ++f) {
        SqlStatement one(CurrentConnection(),
                         QStringLiteral("select %1 from SaleInfo where id=54321").arg(fields[f].column));
        present[f] = one.Step() ? one.ColumnValue(0).toString().left(10) : QString();
    }
    for (int pass = 0; pass < 2; ++pass) {
        for (const Index& index : indexes)
            CurrentConnection()->ExecRaw(pass == 0 ? "DROP INDEX " + index.name : index.definition);
        CurrentConnection()->ExecRaw("ANALYZE SaleInfo");
        for (int f = 0; f < fields.size(); ++f) {
            const QString absent = fields[f].isDate     ? QStringLiteral("1999-01-01")
                                   : fields[f].isNumber ? QStringLiteral("7")
                                                        : QStringLiteral("不存在的值");
            for (int kind = 0; kind < 2; ++kind) {
                field->setCurrentIndex(f);
                emit field->activated(f);
                op->setCurrentText("=");
                value->setText(kind == 0 ? present[f] : absent);
                QApplication::processEvents();
                QElapsedTimer timer;
                timer.start();
                manager->BtnSearchClick();
                ms[f][kind][pass] = Ms(timer);
                QApplication::processEvents();
            }
        }
    }
    std::printf("column search, query and first page (= a stored value | = a value none has), without the "
                "search indexes -> with them:\n");
    for (int f = 0; f < fields.size(); ++f)
        std::printf("  %-12s = %-12s %7.1f -> %5.1f ms   | = none %7.1f -> %5.1f ms\n", fields[f].column,
                    qPrintable(present[f]), ms[f][0][0], ms[f][0][1], ms[f][1][0], ms[f][1][1]);
}

// What the server's index of the quick-find text's pairs costs on writing:
// 10 000 records added in one statement and 200 records edited one by one
// (a new address each), with the index and without it, each in a
// transaction rolled back so that the table stays as it was; then the
// index made over the whole table, as the schema upgrade makes it.
void TimePairIndexWrites()
{
    SqlStatement read(CurrentConnection(),
                      "select indexdef from pg_indexes where indexname='saleinfo_findpairs'");
    const QString definition = read.Step() ? read.ColumnValue(0).toString() : QString();
    if (definition.isEmpty()) {
        std::printf("write cost of the index of pairs: the index is missing\n");
        return;
    }
    double inserted[2] = {0, 0}, edited[2] = {0, 0};
    for (int pass = 0; pass < 2; ++pass) {
        SqlTransaction transaction(CurrentConnection());
        if (pass == 1)
            CurrentConnection()->ExecRaw("DROP INDEX saleinfo_findpairs");
        QElapsedTimer timer;
        timer.start();
        Generate(10000);
        inserted[pass] = Ms(timer);
        timer.restart();
        for (int i = 0; i < 200; ++i) {
            SqlStatement edit(CurrentConnection(),
                              "update SaleInfo set addr=?, RowVersion=RowVersion+1 where id=?");
            edit.Exec({QStringLiteral("上海市浦东新区世纪大道%1号").arg(i), qint64(1000 + i * 397)});
        }
        edited[pass] = Ms(timer);
        transaction.Rollback();
    }
    double made = 0;
    {
        SqlTransaction transaction(CurrentConnection());
        CurrentConnection()->ExecRaw("DROP INDEX saleinfo_findpairs");
        QElapsedTimer timer;
        timer.start();
        CurrentConnection()->ExecRaw(definition);
        made = Ms(timer);
        transaction.Rollback();
    }
    std::printf("index of pairs on writing, with -> without: 10 000 records added %.1f -> %.1f ms; 200 edits "
                "one by one %.1f -> %.1f ms; made over the table %.1f ms\n",
                inserted[0], inserted[1], edited[0], edited[1], made);
}

int RunSize(int count, bool baseline, bool server)
{
    QTemporaryDir dir;
    TDataM dataModule;
    const QString serverDatabase =
        QStringLiteral("weibao_bench_sales_%1").arg(QCoreApplication::applicationPid());
    if (server) {
        const QString error = Bench::OpenFreshServerDatabase(dir.path(), serverDatabase, dataModule);
        if (!error.isEmpty()) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return 1;
        }
    } else if (!Bench::OpenFreshDatabase(dir.path(), dataModule)) {
        return 1;
    }
    QElapsedTimer timer;
    timer.start();
    if (!Generate(count)) {
        std::fprintf(stderr, "generating failed: %s\n", qPrintable(CurrentConnection()->ErrorString()));
        return 1;
    }
    std::printf("\n== %d records, %s ==\n", count,
                server ? "PostgreSQL (local server, Unix socket)" : "SQLite");
    std::printf("generate (one transaction, one statement)  %9.1f ms\n", Ms(timer));
    const double before = PeakMegabytes();

    auto* manager = new TFrmSaleManage;
    manager->resize(1280, 800);
    manager->show();
    QApplication::processEvents();
    auto* list = manager->findChild<QTableView*>("ListView1");

    // The window is up and idle; the click reads, the grab paints the list once.
    timer.restart();
    manager->TBtnAllClick();
    const double queried = Ms(timer);
    list->viewport()->grab();
    const double shown = Ms(timer);
    QApplication::processEvents();
    const double peakShown = PeakMegabytes();
    std::printf(
        "所有客户 -> list shown and painted         %9.1f ms  (count and first page %.1f ms; %s, %d rows "
        "listed, %d held)\n",
        shown, queried, qPrintable(manager->StatusText()), manager->Model()->rowCount(),
        manager->Model()->HeldRowCount());
    std::printf("peak memory: before %.0f MB, shown %.0f MB\n", before, peakShown);

    // The list as long as its count: the scroll bar dragged to the end
    // reads the last page directly; back at the start the first page is
    // read again by its keys if it was dropped.
    QScrollBar* bar = list->verticalScrollBar();
    timer.restart();
    bar->setValue(bar->maximum());
    list->viewport()->grab();
    const double atEnd = Ms(timer);
    const int lastShown = list->rowAt(list->viewport()->height() - 1);
    std::printf(
        "scroll bar dragged to the end -> painted   %9.1f ms  (%d rows listed, %d held, last row shown "
        "%s)\n",
        atEnd, manager->Model()->rowCount(), manager->Model()->HeldRowCount(),
        qPrintable(manager->Model()->Text(lastShown < 0 ? manager->Model()->rowCount() - 1 : lastShown,
                                          SaleListModel::ColMemo)));
    timer.restart();
    bar->setValue(0);
    list->viewport()->grab();
    std::printf("back to the start -> painted               %9.1f ms\n", Ms(timer));
    // A drag over the whole bar: 40 stops, each painted (a page read at
    // most per stop, from the nearest keys known).
    double worst = 0;
    timer.restart();
    for (int step = 1; step <= 40; ++step) {
        QElapsedTimer one;
        one.start();
        bar->setValue(int(qint64(bar->maximum()) * step / 40));
        list->viewport()->grab();
        worst = qMax(worst, Ms(one));
    }
    const double dragged = Ms(timer);
    // And back in 40 stops: pages read on the way down were dropped and are
    // read again by their keys.
    double worstBack = 0;
    timer.restart();
    for (int step = 39; step >= 0; --step) {
        QElapsedTimer one;
        one.start();
        bar->setValue(int(qint64(bar->maximum()) * step / 40));
        list->viewport()->grab();
        worstBack = qMax(worstBack, Ms(one));
    }
    std::printf(
        "drag in 40 stops to the end                %9.1f ms  (slowest stop %.1f ms); back in 40 stops "
        "%.1f ms (slowest %.1f ms)\n",
        dragged, worst, Ms(timer), worstBack);
    std::printf("rows held %d (limit %d), peak memory %.0f MB\n", manager->Model()->HeldRowCount(),
                PagedListModel::DefaultHeldRowLimit, PeakMegabytes());
    {
        // As before: the list grows page by page to the end and keeps every row.
        manager->Model()->SetWindowed(false);
        Bench::ResetPeak();
        manager->TBtnAllClick();
        timer.restart();
        while (manager->Model()->canFetchMore({})) {
            bar->setValue(bar->maximum());
            QApplication::processEvents();
        }
        list->scrollToBottom();
        list->viewport()->grab();
        std::printf("baseline: grown to the end, every row held %9.1f ms  (%d rows held, peak %.0f MB)\n",
                    Ms(timer), manager->Model()->HeldRowCount(), PeakMegabytes());
        manager->Model()->SetWindowed(true);
        manager->TBtnAllClick();
    }

    struct Search
    {
        int field;
        const char* op;
        QString value;
        const char* column;
        const char* what;
    };
    const Search searches[] = {
        {1, "=", QStringLiteral("北京"), "addr", "地址 = 北京"},
        {1, "=", QStringLiteral("天津"), "addr", "地址 = 天津"},
        {3, "<", QStringLiteral("2016-03-01"), "OverRun", "过保日期 < 2016-03-01"},
        {3, ">=", QStringLiteral("2025-11-01"), "OverRun", "过保日期 >= 2025-11-01"},
        {3, ">=", QStringLiteral("2020-01-01"), "OverRun", "过保日期 >= 2020-01-01"},
        {3, "=", QStringLiteral("2020-06-01"), "OverRun", "过保日期 = 2020-06-01"},
    };
    list->scrollToTop();
    QApplication::processEvents();
    auto* field = manager->findChild<QComboBox*>("CmbSearchName");
    auto* op = manager->findChild<QComboBox*>("CmbOperator");
    auto* value = manager->findChild<QLineEdit*>("EditTJ");
    for (const Search& s : searches) {
        field->setCurrentIndex(s.field);
        emit field->activated(s.field);
        op->setCurrentText(s.op);
        value->setText(s.value);
        QApplication::processEvents();
        timer.restart();
        manager->BtnSearchClick();
        const double searched = Ms(timer);
        list->viewport()->grab();
        const double painted = Ms(timer);
        QApplication::processEvents();
        // How many rows match, read apart from the timing.
        QString bound = s.value;
        if (s.field == 3)
            bound += " 00:00:00";
        SqlStatement count(CurrentConnection(),
                           QString("select count(*) from SaleInfo where %1%2?").arg(s.column, s.op));
        const qint64 matches = count.Bind({bound}) && count.Step() ? count.ColumnValue(0).toLongLong() : -1;
        std::printf("search %-28s %9.1f ms  (query and first page %.1f ms; %lld matching, %d rows listed)\n",
                    s.what, painted, searched, matches, manager->Model()->rowCount());
    }

    if (server)
        TimeEveryColumnSearch(manager);

    // The expiring-soon filter as on a day amid the generated warranties
    // (they all ended before today): about a month's worth of rows.
    for (int days : {30, 90}) {
        QApplication::processEvents();
        timer.restart();
        const QDateTime day(QDate(2020, 6, 1), QTime(9, 0));
        manager->Model()->SetExpiringDays(days);
        manager->Model()->Load(SaleRecord::ExpiringCustomers(day, days), true);
        const double loaded = Ms(timer);
        list->viewport()->grab();
        std::printf("即将过保 %2d 天 -> painted                 %9.1f ms  (count and first page %.1f ms; "
                    "%lld rows)\n",
                    days, Ms(timer), loaded, manager->Model()->MatchCount());
    }

    // Quick find: the box's search as it runs after the typing pause, to
    // the painted list with its count; then the same list through a LIKE
    // scan of the six columns.
    struct Find
    {
        QString fragment;
        const char* what;
    };
    const Find finds[] = {
        {QStringLiteral("1234"), "4-digit phone fragment 1234"},
        {QStringLiteral("62012"), "5-digit phone fragment 62012"},
        {QStringLiteral("学院路12"), "address fragment 学院路12"},
        {QStringLiteral("7号"), "2-char address fragment 7号"},
        {QStringLiteral("海淀"), "2-char address fragment 海淀"},
        {QStringLiteral("户49"), "3-char name fragment 户49"},
        {QStringLiteral("13"), "2-digit fragment 13 (every row)"},
        {QStringLiteral("学院路"), "3-char fragment 学院路 (6 in 7)"},
    };
    auto* find = manager->findChild<QLineEdit*>("EditFind");
    for (const Find& f : finds) {
        find->setText(f.fragment);
        QApplication::processEvents();
        timer.restart();
        manager->QuickFindRun();
        const double searched = Ms(timer);
        list->viewport()->grab();
        const double painted = Ms(timer);
        const qint64 found = manager->Model()->MatchCount();
        QApplication::processEvents();

        // The server's quick find as it was: the pattern alone, counted and
        // paged by the planner's own choice (no index condition).
        double before = -1, beforeQuery = -1;
        if (server) {
            SaleRecord::Condition old;
            QString error;
            QuickFind::FindCondition(f.fragment, &old, &error);
            old.indexWhere.clear();
            old.indexArgs.clear();
            timer.restart();
            manager->Model()->Load(old, true);
            beforeQuery = Ms(timer);
            list->viewport()->grab();
            before = Ms(timer);
            QApplication::processEvents();
        }

        SaleRecord::Condition scan;
        QString pattern = f.fragment;
        pattern.replace("\\", "\\\\").replace("%", "\\%").replace("_", "\\_");
        pattern = '%' + pattern + '%';
        QStringList terms;
        for (const char* column : {"Name", "Phone", "Fax", "Mobile", "addr", "Memo"}) {
            terms << QString("%1 like ? escape '\\'").arg(column);
            scan.args << SqlArg(pattern);
        }
        scan.where = terms.join(" or ");
        timer.restart();
        manager->Model()->Load(scan, true);
        const double scanQuery = Ms(timer);
        list->viewport()->grab();
        const double scanned = Ms(timer);
        // Painting the same list once more: the share of the figures that is paint alone.
        timer.restart();
        list->viewport()->grab();
        const double paintOnly = Ms(timer);
        std::printf(
            "quick find %-30s %7.1f ms painted (query %5.1f ms; %6lld found) | LIKE scan %6.1f ms painted "
            "(query %6.1f ms; %lld) | paint alone %.1f ms | scan/find: painted %.0fx, query %.0fx\n",
            f.what, painted, searched, found, scanned, scanQuery, manager->Model()->MatchCount(), paintOnly,
            scanned / painted, scanQuery / searched);
        if (server)
            std::printf(
                "    server quick find before its index condition: %7.1f ms painted (query %6.1f ms)\n",
                before, beforeQuery);
        QApplication::processEvents();
    }
    if (server)
        TimePairIndexWrites();
    delete manager;
    QApplication::processEvents();

    if (baseline) {
        // Best case for the baseline: every row read and added as one item,
        // then the list shown and painted once.
        QTreeWidget tree;
        tree.setColumnCount(SaleListModel::ColumnCount);
        tree.resize(1280, 800);
        timer.restart();
        SqlStatement all(CurrentConnection(), "select * from SaleInfo order by id");
        while (all.Step()) {
            QStringList texts;
            texts.reserve(SaleListModel::ColumnCount);
            for (int c = 0; c < SaleListModel::ColumnCount; ++c)
                texts << all.ColumnValue(c).toString();
            tree.addTopLevelItem(new QTreeWidgetItem(texts));
        }
        tree.show();
        QApplication::processEvents();
        tree.viewport()->grab();
        const double filled = Ms(timer);
        std::printf("baseline QTreeWidget fill, then paint      %9.1f ms  (peak %.0f MB)\n", filled,
                    PeakMegabytes());
        std::printf("ratio baseline / model                     %9.1f x\n", filled / shown);
    }
    if (baseline && count <= 100000) {
        // As a list was filled before: the events processed after each row,
        // here after every 1000 (after each row it is slower still).
        QTreeWidget tree;
        tree.setColumnCount(SaleListModel::ColumnCount);
        tree.resize(1280, 800);
        tree.show();
        QApplication::processEvents();
        timer.restart();
        SqlStatement all(CurrentConnection(), "select * from SaleInfo order by id");
        int rows = 0;
        bool capped = false;
        while (all.Step()) {
            QStringList texts;
            for (int c = 0; c < SaleListModel::ColumnCount; ++c)
                texts << all.ColumnValue(c).toString();
            tree.addTopLevelItem(new QTreeWidgetItem(texts));
            if (++rows % 1000 == 0) {
                QApplication::processEvents();
                if (timer.elapsed() > 120000) {
                    capped = true;
                    break;
                }
            }
        }
        tree.viewport()->grab();
        if (capped)
            std::printf("baseline with yields: stopped after 120 s at %d rows\n", rows);
        else
            std::printf("baseline QTreeWidget fill with yields      %9.1f ms  (ratio %.1f x)\n", Ms(timer),
                        Ms(timer) / shown);
    }
    dataModule.DisconnectDatabase();
    DataM = nullptr;
    if (server)
        Bench::DropServerDatabase(serverDatabase);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    const QStringList args = app.arguments();
    const bool baseline = !args.contains("--no-baseline");
    if (args.size() >= 2 && args[1].toInt() > 0)
        return RunSize(args[1].toInt(), baseline, args.contains("--server"));
    // Each run in a process of its own, so each peak is its own.
    const QString unavailable = Bench::ServerUnavailableReason();
    const QStringList runs[] = {{"100000"}, {"100000", "--server", "--no-baseline"}, {"1000000"}};
    for (QStringList childArgs : runs) {
        if (childArgs.contains("--server") && !unavailable.isEmpty()) {
            std::printf("\n== PostgreSQL left out: %s ==\n", qPrintable(unavailable));
            continue;
        }
        if (!baseline)
            childArgs << "--no-baseline";
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedChannels);
        child.start(app.applicationFilePath(), childArgs);
        if (!child.waitForFinished(-1) || child.exitCode() != 0)
            return 1;
    }
    return 0;
}
