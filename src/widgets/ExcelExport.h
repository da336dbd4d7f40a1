#pragma once

#include "XlsxExport.h"

#include <QString>
#include <QStringList>
#include <functional>

class MemDataset;
class QWidget;

// What stands in for the spreadsheet program of the exports: a workbook built
// in memory, the file it goes to and whether it is shown once written.
//
// The report preview's export works like this:
//   ExcelWorkbook excel;  XlsxSheet* sheet;
//   if (!OpenExcelWorkbook(excel, sheet, true)) { message; return; }
//   sheet->SetCell(1, 1, ...); ...
//   if (!excel.Show()) ShowError("未正常生成Excel表！");
class ExcelWorkbook
{
public:
    XlsxWorkbook Book;
    QString FileName;
    bool Visible = false;

    XlsxSheet& Sheet() { return Book.Sheet(0); }
    // Writes the workbook to FileName; false with ErrorString().
    bool Save();
    // Saves, then opens the file with the desktop's default program.
    bool Show();
    QString ErrorString() const { return m_error; }

    // How Show opens a written file (ShellOpen unless replaced, e.g. by tests).
    using Viewer = std::function<bool(const QString& fileName)>;
    static void SetViewer(Viewer viewer);

private:
    QString m_error;
};

// Asks where to save ("请选择保存路径：", Excel files or all files, an
// existing file only after confirming) and prepares a one-sheet workbook for
// that file.  false when the user cancels; nothing is written yet.
bool CreateExcelWorkbook(ExcelWorkbook& excel, XlsxSheet*& sheet, QString& fileName, bool visible,
                         QWidget* parent = nullptr);
// Prepares a one-sheet workbook in a new file of the temporary folder, meant
// to be shown (ExcelWorkbook::Show) once filled.  false, without a message,
// when no such file can be written.
bool OpenExcelWorkbook(ExcelWorkbook& excel, XlsxSheet*& sheet, bool visible);
// Captions in row startRow + 1 (field names, or `captions` where given),
// values below.  An empty dataset gives the error box "您要导出的表内无记录！"
// and false.
bool FillExcelSheet(const MemDataset& dataset, int startRow, XlsxSheet& sheet, QWidget* parent = nullptr,
                    const QStringList& captions = {});
// Writes the dataset into a new workbook file the user chooses: "没有数据需要导出！"
// for an empty dataset, "未正常生成Excel表！" when the file cannot be
// written.  With `visible` the file is then opened.  true once written.
bool ExportDataSetToExcel(const MemDataset& dataset, bool visible, QWidget* parent = nullptr,
                          const QStringList& captions = {});
