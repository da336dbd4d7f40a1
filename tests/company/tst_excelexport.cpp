#include "ExcelExport.h"
#include "MemDataset.h"
#include "ScriptedDialogs.h"
#include "XlsxCells.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

// The workbook export: the save dialog, the messages, and the cells of the
// written file read back from its XML.
class TestExcelExport : public QObject
{
    Q_OBJECT

    static MemDataset ThreeFieldsTwoRecords()
    {
        MemDataset ds;
        ds.AddField("Code", FieldType::Integer);
        ds.AddField("Name", FieldType::Text, 20);
        ds.AddField("Bought", FieldType::DateTime);
        const QVariant rows[2][3] = {{1, QStringLiteral("张三"), QDateTime(QDate(2024, 1, 1), QTime(0, 0))},
                                     {2, QStringLiteral("=1+1"), QDateTime(QDate(2024, 3, 5), QTime(0, 0))}};
        for (const auto& row : rows) {
            ds.Append();
            for (int f = 0; f < 3; ++f)
                ds.SetValue(f, row[f]);
            ds.Post();
        }
        ds.First();
        return ds;
    }

private slots:
    void emptyDatasetShowsMessageAndWritesNothing()
    {
        ScriptedDialogs dialogs;
        QTemporaryDir dir;
        MemDataset ds = ThreeFieldsTwoRecords();
        ds.EmptyDataSet();
        QVERIFY(!ExportDataSetToExcel(ds, false));
        QCOMPARE(dialogs.Texts(), QStringList{"没有数据需要导出！"});
        QVERIFY(dialogs.FileRequests().isEmpty());
        QVERIFY(QDir(dir.path()).isEmpty());

        // Filling a sheet directly with nothing in it is an error box.
        XlsxSheet sheet;
        QVERIFY(!FillExcelSheet(ds, 0, sheet));
        QCOMPARE(dialogs.LastText(), QString("您要导出的表内无记录！"));
        QCOMPARE(dialogs.Boxes().last().icon, Dialogs::Icon::Critical);
        QCOMPARE(sheet.RowCount(), 0);
    }

    void threeFieldsTwoRecordsFillA1ToC3()
    {
        ScriptedDialogs dialogs;
        QTemporaryDir dir;
        const QString file = dir.filePath("导出.xlsx");
        // An existing file is replaced (the dialog asked about it).
        QFile old(file);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("old contents");
        old.close();
        dialogs.QueueFileName(file);
        const MemDataset ds = ThreeFieldsTwoRecords();
        QVERIFY(ExportDataSetToExcel(ds, false));
        QVERIFY(dialogs.Texts().isEmpty());

        const Dialogs::FileRequest request = dialogs.FileRequests().value(0);
        QCOMPARE(request.title, QString("请选择保存路径："));
        QCOMPARE(request.filter, QString("Excel文件|*.xlsx|所有文件|*.*"));
        QVERIFY(request.confirmOverwrite);

        const QMap<QString, XlsxReader::Cell> cells = ReadXlsxCells(file);
        QCOMPARE(QStringList(cells.keys()),
                 QStringList({"A1", "A2", "A3", "B1", "B2", "B3", "C1", "C2", "C3"}));
        QCOMPARE(cells["A1"].text, QString("Code"));
        QCOMPARE(cells["B1"].text, QString("Name"));
        QCOMPARE(cells["C1"].text, QString("Bought"));
        for (const QString ref : {"A1", "B1", "C1", "B2", "B3"})
            QCOMPARE(cells[ref].type, QString("s"));
        QCOMPARE(cells["A2"].type, QString("n"));
        QCOMPARE(cells["A3"].text, QString("2"));
        QCOMPARE(cells["B2"].text, QString("张三"));
        // Text that looks like a formula stays text.
        QCOMPARE(cells["B3"].text, QString("=1+1"));
        // Real spreadsheet dates: day numbers with a date format.
        QCOMPARE(cells["C2"].type, QString("n"));
        QCOMPARE(cells["C2"].text.toDouble(), 45292.0);
        QCOMPARE(cells["C3"].text.toDouble(), 45356.0);
        QCOMPARE(cells["C2"].format, QString("yyyy-mm-dd"));
        // Nothing of the temporary file is left beside the workbook.
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"导出.xlsx"});
    }

    void dateTimesBigIntegersAndCaptions()
    {
        ScriptedDialogs dialogs;
        QTemporaryDir dir;
        MemDataset ds;
        ds.AddField("LogTime", FieldType::DateTime);
        ds.AddField("Serial", FieldType::Integer);
        ds.AddField("Note", FieldType::Text);
        ds.Append();
        ds.SetValue(0, QDateTime(QDate(2024, 3, 5), QTime(14, 30)));
        ds.SetValue(1, Q_INT64_C(1234567890123456789));
        ds.Post();
        ds.Append(); // a row of nulls leaves its cells empty
        ds.Post();
        dialogs.QueueFileName(dir.filePath("log.xlsx"));
        QVERIFY(ExportDataSetToExcel(ds, false, nullptr, {QStringLiteral("日志时间"), QString(), "备注"}));

        const QMap<QString, XlsxReader::Cell> cells = ReadXlsxCells(dir.filePath("log.xlsx"));
        QCOMPARE(cells["A1"].text, QString("日志时间"));
        QCOMPARE(cells["B1"].text, QString("Serial")); // no caption given: the field name
        QCOMPARE(cells["C1"].text, QString("备注"));
        QCOMPARE(cells["A2"].format, QString("yyyy-mm-dd hh:mm:ss"));
        QVERIFY(qAbs(cells["A2"].text.toDouble() - (45356 + 14.5 / 24)) < 1e-6);
        // Too long for the spreadsheet's numbers: kept exactly, as text.
        QCOMPARE(cells["B2"].type, QString("s"));
        QCOMPARE(cells["B2"].text, QString("1234567890123456789"));
        QVERIFY(!cells.contains("A3") && !cells.contains("C2"));
    }

    void cancelOrUnwritablePlaceWritesNothing()
    {
        ScriptedDialogs dialogs;
        QTemporaryDir dir;
        const MemDataset ds = ThreeFieldsTwoRecords();
        dialogs.QueueFileName(QString());
        QVERIFY(!ExportDataSetToExcel(ds, false));
        QVERIFY(dialogs.Texts().isEmpty());

        dialogs.QueueFileName(dir.filePath("missing/folder/x.xlsx"));
        QVERIFY(!ExportDataSetToExcel(ds, false));
        QCOMPARE(dialogs.Texts(), QStringList{"未正常生成Excel表！"});
        QVERIFY(QDir(dir.path()).isEmpty());
    }

    void openedWorkbookIsFilledThenShown()
    {
        ScriptedDialogs dialogs;
        QStringList shown;
        ExcelWorkbook::SetViewer([&shown](const QString& file) {
            shown << file;
            return true;
        });
        ExcelWorkbook excel;
        XlsxSheet* sheet = nullptr;
        QVERIFY(OpenExcelWorkbook(excel, sheet, true));
        QVERIFY(sheet);
        QVERIFY(excel.FileName.endsWith(".xlsx"));
        QVERIFY(QFile::exists(excel.FileName));
        QVERIFY(FillExcelSheet(ThreeFieldsTwoRecords(), 2, *sheet));
        QVERIFY(excel.Show());
        ExcelWorkbook::SetViewer(nullptr);
        QCOMPARE(shown, QStringList{excel.FileName});

        // startRow leaves rows free above the captions.
        const QMap<QString, XlsxReader::Cell> cells = ReadXlsxCells(excel.FileName);
        QVERIFY(!cells.contains("A1") && !cells.contains("A2"));
        QCOMPARE(cells["A3"].text, QString("Code"));
        QCOMPARE(cells["B5"].text, QString("=1+1"));
        QFile::remove(excel.FileName);
        QVERIFY(dialogs.Texts().isEmpty());
    }
};

QTEST_MAIN(TestExcelExport)
#include "tst_excelexport.moc"
