#include "ExcelExport.h"

#include "Dialogs.h"
#include "MemDataset.h"
#include "ShellOpen.h"

#include <QDir>
#include <QTemporaryFile>

namespace {

ExcelWorkbook::Viewer& CurrentViewer()
{
    static ExcelWorkbook::Viewer viewer;
    return viewer;
}

const char* const NoRecordsText = "您要导出的表内无记录！";
const char* const NotWrittenText = "未正常生成Excel表！";

} // namespace

void ExcelWorkbook::SetViewer(Viewer viewer)
{
    CurrentViewer() = std::move(viewer);
}

bool ExcelWorkbook::Save()
{
    m_error.clear();
    return Book.Save(FileName, &m_error);
}

bool ExcelWorkbook::Show()
{
    if (!Save())
        return false;
    if (CurrentViewer())
        return CurrentViewer()(FileName);
    ShellOpen(FileName, true);
    return true;
}

bool CreateExcelWorkbook(ExcelWorkbook& excel, XlsxSheet*& sheet, QString& fileName, bool visible,
                         QWidget* parent)
{
    Dialogs::FileRequest request;
    request.title = QStringLiteral("请选择保存路径：");
    request.filter = QStringLiteral("Excel文件|*.xlsx|所有文件|*.*");
    request.defaultSuffix = QStringLiteral("xlsx");
    request.confirmOverwrite = true;
    fileName = Dialogs::Instance().SaveFileName(parent, request);
    if (fileName.isEmpty())
        return false;
    excel.Book = XlsxWorkbook();
    excel.FileName = fileName;
    excel.Visible = visible;
    sheet = &excel.Sheet();
    return true;
}

bool OpenExcelWorkbook(ExcelWorkbook& excel, XlsxSheet*& sheet, bool visible)
{
    // A name of its own in the temporary folder; the file stays after this
    // program ends, since the spreadsheet program may still have it open.
    QTemporaryFile temp(QDir::tempPath() + "/weibao-XXXXXX.xlsx");
    temp.setAutoRemove(false);
    if (!temp.open())
        return false;
    temp.close();
    excel.Book = XlsxWorkbook();
    excel.FileName = temp.fileName();
    excel.Visible = visible;
    // Proves the place can take a workbook before the caller fills one.
    if (!excel.Save()) {
        QFile::remove(excel.FileName);
        return false;
    }
    sheet = &excel.Sheet();
    return true;
}

bool FillExcelSheet(const MemDataset& dataset, int startRow, XlsxSheet& sheet, QWidget* parent,
                    const QStringList& captions)
{
    if (dataset.IsEmpty()) {
        ShowError(QString::fromUtf8(NoRecordsText), QString(), parent);
        return false;
    }
    FillSheetFromDataset(dataset, startRow, sheet, captions);
    return true;
}

bool ExportDataSetToExcel(const MemDataset& dataset, bool visible, QWidget* parent,
                          const QStringList& captions)
{
    if (dataset.RecordCount() == 0) {
        ShowMessage(QStringLiteral("没有数据需要导出！"), parent);
        return false;
    }
    ExcelWorkbook excel;
    XlsxSheet* sheet = nullptr;
    QString fileName;
    if (!CreateExcelWorkbook(excel, sheet, fileName, visible, parent))
        return false;
    if (!FillExcelSheet(dataset, 0, *sheet, parent, captions))
        return false;
    if (!(visible ? excel.Show() : excel.Save())) {
        ShowError(QString::fromUtf8(NotWrittenText), QString(), parent);
        return false;
    }
    return true;
}
