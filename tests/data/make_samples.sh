#!/bin/sh
# Makes the sample workbooks of the import tests: a sheet written with
# python3-openpyxl, then saved by LibreOffice Calc as .xlsx and as the old
# .xls format, so both come from a spreadsheet program.  Run once; the
# results are checked in (neither tool is needed by the tests).
set -e
cd "$(dirname "$0")"
tmp=$(mktemp -d)
/usr/bin/python3 - "$tmp/source.xlsx" <<'PY'
import sys, datetime
from openpyxl import Workbook
wb = Workbook()
ws = wb.active
ws.title = "客户资料"
ws.append(["客户名称", "联系电话", "传真", "手机号码", "地址", "购买日期", "过保日期", "特别用户",
           "购机数量", "处理器", "内存", "备注", "推荐人"])
rows = [
    ["刘洋", "010-62001234", None, 13900001111, "北京市朝阳区建国路88号", datetime.date(2003, 5, 20),
     datetime.date(2004, 5, 20), "否", 1, "奔腾4 2.4G", "256MB DDR", "老客户\n上门安装", "王经理"],
    ["陈静", "021-55556666", "021-55556667", None, "上海市徐汇区漕溪北路1号", datetime.date(2004, 11, 2),
     None, "是", 2, "赛扬 1.7G", "128MB", None, None],
    ["赵强", None, None, 13612345678, "广州市天河区体育西路", datetime.date(2005, 1, 15),
     datetime.date(2006, 1, 15), "否", 0, None, None, None, "李四"],
]
for r in rows:
    ws.append(r)
for row in ws.iter_rows(min_row=2, min_col=6, max_col=7):
    for cell in row:
        cell.number_format = "yyyy-mm-dd"
wb.save(sys.argv[1])
PY
soffice --headless --convert-to xlsx --outdir "$tmp/lo" "$tmp/source.xlsx" >/dev/null
soffice --headless --convert-to xls --outdir "$tmp/lo" "$tmp/source.xlsx" >/dev/null
cp "$tmp/lo/source.xlsx" sales-libreoffice.xlsx
cp "$tmp/lo/source.xls" sales-old.xls
rm -rf "$tmp"
