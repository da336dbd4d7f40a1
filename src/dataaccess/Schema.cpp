#include "Schema.h"

#include "ChangeLog.h"
#include "CommandLog.h"
#include "SeedData.h"
#include "SqlConnection.h"
#include "SqlDialect.h"

#include <QMap>
#include <QRegularExpression>
#include <QStringList>

namespace {

// Step 1: every table of the first release.  Dates are ISO text; the sizes
// in TEXT(n) are the field sizes (GBK bytes) the program cuts values to.
const char* const Version1[] = {
    "CREATE TABLE SeqTable (MenuID INTEGER, MenuOrderID INTEGER, ButtonID INTEGER, FuncOrderID INTEGER,"
    " RoleID INTEGER, ItemID INTEGER, ItemOrderID INTEGER)",

    "CREATE TABLE UseLog (UserID TEXT(10), UserName TEXT(10), LogTime DATETIME, LogText TEXT(100))",
    "CREATE INDEX UseLog_LogTime ON UseLog (LogTime)",

    "CREATE TABLE AC_USERINFO (UserID TEXT(10) NOT NULL PRIMARY KEY COLLATE NOCASE, UserName TEXT(20),"
    " Sex TEXT(2), WorkPostID INTEGER, DeptID INTEGER, PersonTypeID INTEGER, WorkStartDate DATETIME,"
    " HomeTel TEXT(30), WorkTel TEXT(30), MobileTel TEXT(30), Email TEXT(50), QQ TEXT(20), MSN TEXT(50),"
    " Address TEXT(100), UserPass TEXT(128), IsUse TEXT(1), PassNotOver TEXT(1), PassOverDate DATETIME)",

    "CREATE TABLE AC_ROLEINFO (RoleID INTEGER NOT NULL PRIMARY KEY, RoleName TEXT(50), RoleDesc TEXT(200))",

    "CREATE TABLE AC_FUNCTIONINFO (FunctionID TEXT(6) NOT NULL PRIMARY KEY, FunctionName TEXT(50),"
    " FunctionDesc TEXT(200), ControlName TEXT(50), FormModal TEXT(1), ParentFunctionID TEXT(6),"
    " IsPublic TEXT(1), OrderNum INTEGER)",

    "CREATE TABLE AC_ROLE_USER (RoleID INTEGER, UserID TEXT(10))",
    "CREATE TABLE AC_ROLE_FUNCTION (RoleID INTEGER, FunctionID TEXT(6))",
    "CREATE TABLE AC_FUNCTION_USER (FunctionID TEXT(6), UserID TEXT(10))",

    "CREATE TABLE AC_MENUSTRUCT (MenuID INTEGER NOT NULL PRIMARY KEY, MenuText TEXT(50), ParentMenuID "
    "INTEGER,"
    " FunctionID TEXT(6), OrderNum INTEGER)",
    "CREATE TABLE AC_TOOLCFG (ButtonID INTEGER NOT NULL PRIMARY KEY, ButtonText TEXT(50), IconIndex INTEGER,"
    " IsShow TEXT(1), FunctionID TEXT(6), OrderNum INTEGER)",
    "CREATE TABLE AC_GROUPCFG (ItemID INTEGER NOT NULL PRIMARY KEY, ItemText TEXT(50), IconIndex INTEGER,"
    " IsShow TEXT(1), FunctionID TEXT(6), ParentItemID INTEGER, OrderNum INTEGER)",

    "CREATE TABLE AC_DEPT (DeptID INTEGER NOT NULL PRIMARY KEY, DeptName TEXT(50), DeptDesc TEXT(200))",
    "CREATE TABLE AC_WORKPOST (PostID INTEGER NOT NULL PRIMARY KEY, PostName TEXT(50), PostDesc TEXT(200))",
    "CREATE TABLE AC_PERSONTYPE (TypeID INTEGER NOT NULL PRIMARY KEY, TypeName TEXT(50), TypeDesc TEXT(200))",

    // AUTOINCREMENT: a deleted sale's id is never handed out again.
    "CREATE TABLE SaleInfo (id INTEGER PRIMARY KEY AUTOINCREMENT, Name TEXT(8), Phone TEXT(20), Fax TEXT(20),"
    " Mobile TEXT(15), addr TEXT(100), BuyDate DATETIME, OverRun DATETIME, TB TEXT(1), BuyAmount TEXT(3),"
    " CPU TEXT(40), Memory TEXT(40), HD TEXT(40), DisplayCard TEXT(40), Sound TEXT(40), MainBoard TEXT(40),"
    " Box TEXT(40), Display TEXT(40), Power TEXT(40), Floppy TEXT(40), CDROM TEXT(40), Mouse TEXT(40),"
    " KeyBoard TEXT(40), SoundBox TEXT(40), NetWork TEXT(40), Modem TEXT(40), Print TEXT(40),"
    " Other TEXT(200), Memo TEXT)",
    "CREATE INDEX SaleInfo_OverRun ON SaleInfo (OverRun)",
    "CREATE INDEX SaleInfo_BuyDate ON SaleInfo (BuyDate)",
    "CREATE INDEX SaleInfo_TB ON SaleInfo (TB, id)",

    "CREATE TABLE AC_Company (name TEXT(100), addr TEXT(100), Phone TEXT(50), Phone1 TEXT(50), Fax TEXT(50),"
    " Mail TEXT(50), Web TEXT(100), cn1 TEXT(255), cn2 TEXT(255), cn3 TEXT(255))",

    "CREATE TABLE AreaData (Code TEXT(6), Post TEXT(8), City TEXT(50), Province TEXT(30))",
};

// The text a sale record is found by: name, phone, fax, mobile, address and
// remarks, each closed by a unit separator (char 31).  A fragment never
// matches across two columns, and every two characters of a value are
// followed by a third, so every two-character fragment starts an indexed
// trigram.
// clang-format off
#define SALE_FIND_TEXT(row)                                                                            \
    "char(31)||ifnull(" row ".Name,'')||char(31)||ifnull(" row ".Phone,'')||char(31)||ifnull(" row     \
    ".Fax,'')||char(31)||ifnull(" row ".Mobile,'')||char(31)||ifnull(" row ".addr,'')||char(31)||ifnull(" \
    row ".Memo,'')||char(31)"

// Step 2: the quick-find index.  A contentless FTS5 table with the trigram
// tokenizer (the texts stay in SaleInfo only), its vocabulary for fragments
// of two characters, and triggers that keep it in step with every write.  A
// contentless table forgets a row only when given the text it indexed, which
// the triggers rebuild from the old row.  Existing records are indexed here.
const char* const Version2[] = {
    "CREATE VIRTUAL TABLE SaleFind USING fts5(Body, content='', tokenize='trigram')",
    "CREATE VIRTUAL TABLE SaleFindTerms USING fts5vocab(SaleFind, 'row')",
    "CREATE TRIGGER SaleFind_Insert AFTER INSERT ON SaleInfo BEGIN"
    " INSERT INTO SaleFind(rowid, Body) VALUES (new.id, " SALE_FIND_TEXT("new") "); END",
    "CREATE TRIGGER SaleFind_Delete AFTER DELETE ON SaleInfo BEGIN"
    " INSERT INTO SaleFind(SaleFind, rowid, Body) VALUES ('delete', old.id, " SALE_FIND_TEXT("old") "); END",
    "CREATE TRIGGER SaleFind_Update AFTER UPDATE OF id, Name, Phone, Fax, Mobile, addr, Memo ON SaleInfo BEGIN"
    " INSERT INTO SaleFind(SaleFind, rowid, Body) VALUES ('delete', old.id, " SALE_FIND_TEXT("old") ");"
    " INSERT INTO SaleFind(rowid, Body) VALUES (new.id, " SALE_FIND_TEXT("new") "); END",
    // An insert that replaces a row of the same id removes that row without
    // its delete trigger (recursive triggers are off): its text goes first.
    "CREATE TRIGGER SaleFind_Replace BEFORE INSERT ON SaleInfo"
    " WHEN new.id IS NOT NULL AND EXISTS (SELECT 1 FROM SaleInfo WHERE id = new.id) BEGIN"
    " INSERT INTO SaleFind(SaleFind, rowid, Body) SELECT 'delete', id, " SALE_FIND_TEXT("SaleInfo")
    " FROM SaleInfo WHERE id = new.id; END",
    "INSERT INTO SaleFind(rowid, Body) SELECT id, " SALE_FIND_TEXT("SaleInfo") " FROM SaleInfo",
};

// clang-format on

// Step 3: user codes compare without regard to case everywhere, as they do
// in AC_USERINFO: the grant tables get NOCASE user codes.  SQLite cannot
// change a column's collation, so each table is copied into a new one.
const char* const Version3[] = {
    "CREATE TABLE AC_ROLE_USER_v3 (RoleID INTEGER, UserID TEXT(10) COLLATE NOCASE)",
    "INSERT INTO AC_ROLE_USER_v3 (RoleID, UserID) SELECT RoleID, UserID FROM AC_ROLE_USER ORDER BY rowid",
    "DROP TABLE AC_ROLE_USER",
    "ALTER TABLE AC_ROLE_USER_v3 RENAME TO AC_ROLE_USER",

    "CREATE TABLE AC_FUNCTION_USER_v3 (FunctionID TEXT(6), UserID TEXT(10) COLLATE NOCASE)",
    "INSERT INTO AC_FUNCTION_USER_v3 (FunctionID, UserID) SELECT FunctionID, UserID FROM AC_FUNCTION_USER"
    " ORDER BY rowid",
    "DROP TABLE AC_FUNCTION_USER",
    "ALTER TABLE AC_FUNCTION_USER_v3 RENAME TO AC_FUNCTION_USER",
};

// Step 4: the row version of a sale record, counted up by every change, so
// that a desk saving a record another desk changed since it was opened is
// told instead of overwriting it.  Adding a column with a constant default
// rewrites nothing.
const char* const Version4[] = {
    "ALTER TABLE SaleInfo ADD COLUMN RowVersion INTEGER NOT NULL DEFAULT 1",
};

// Step 5: row versions of users, roles, catalogue functions and the rows of
// the menu, toolbar and side bar, for the same reason as a sale record's;
// and role names unique without regard to Latin case, kept by the database so
// that two desks cannot add one name at once.  Roles whose names differed
// only in case keep their rows: every one but the oldest (the lowest RoleID)
// gets its key appended to its name, "(RoleID)".
const char* const Version5[] = {
    "ALTER TABLE AC_USERINFO ADD COLUMN RowVersion INTEGER NOT NULL DEFAULT 1",
    "ALTER TABLE AC_ROLEINFO ADD COLUMN RowVersion INTEGER NOT NULL DEFAULT 1",
    "ALTER TABLE AC_FUNCTIONINFO ADD COLUMN RowVersion INTEGER NOT NULL DEFAULT 1",
    "ALTER TABLE AC_MENUSTRUCT ADD COLUMN RowVersion INTEGER NOT NULL DEFAULT 1",
    "ALTER TABLE AC_TOOLCFG ADD COLUMN RowVersion INTEGER NOT NULL DEFAULT 1",
    "ALTER TABLE AC_GROUPCFG ADD COLUMN RowVersion INTEGER NOT NULL DEFAULT 1",
    "UPDATE AC_ROLEINFO SET RoleName = substr(RoleName, 1, 40) || '(' || RoleID || ')'"
    " WHERE EXISTS (SELECT 1 FROM AC_ROLEINFO b WHERE b.RoleName = AC_ROLEINFO.RoleName COLLATE NOCASE"
    " AND b.RoleID < AC_ROLEINFO.RoleID)",
    "CREATE UNIQUE INDEX AC_ROLEINFO_RoleName ON AC_ROLEINFO (RoleName COLLATE NOCASE)",
};

// The phone numbers of a sale record as digits alone (dashes and blanks
// dropped), each closed by a unit separator, for the repair desk's search
// by phone: "138-0013-5678" and "13800135678" are the same number.
// clang-format off
#define SALE_PHONE_DIGITS(row)                                                                         \
    "char(31)||replace(replace(ifnull(" row ".Phone,''),'-',''),' ','')||char(31)||replace(replace(ifnull(" \
    row ".Mobile,''),'-',''),' ','')||char(31)"

// Step 6: the repair desk.  RepairInfo holds one visit of a machine, either
// a sale record of the shop (SaleID) or a machine bought elsewhere (Outside,
// no sale record, customer and machine on the visit itself and never under
// warranty).  RepairSwap holds the components replaced during a visit and is
// deleted with it.  RepairCounter numbers the visits of each day and only
// counts up, so a deleted visit's number is never handed out again;
// RepairSetting holds the desk settings every desk shares.  Keys count up
// only (AUTOINCREMENT).  Foreign keys are not enforced by this engine, so
// triggers keep a sale with visits and delete a visit's swaps with it.
const char* const Version6[] = {
    "CREATE TABLE RepairInfo (RepairID INTEGER PRIMARY KEY AUTOINCREMENT, RepairNo TEXT(20) NOT NULL,"
    " SaleID INTEGER REFERENCES SaleInfo(id), Outside INTEGER NOT NULL DEFAULT 0, CustomerName TEXT(20),"
    " CustomerAddr TEXT(100), CPU TEXT(40), MainBoard TEXT(40), Memory TEXT(40), HD TEXT(40),"
    " ContactName TEXT(20), ContactPhone TEXT(30), ReceivedAt DATETIME NOT NULL, DueAt DATETIME,"
    " ReadyAt DATETIME, PickedUpAt DATETIME, NotifiedAt DATETIME, Problem TEXT NOT NULL,"
    " Accessories TEXT(200), Appearance TEXT(200), Diagnosis TEXT, Action TEXT, Technician TEXT(20),"
    " ReceivedBy TEXT(20), Remark TEXT, Status INTEGER NOT NULL DEFAULT 0 CHECK (Status BETWEEN 0 AND 3),"
    " Outcome TEXT(10), InWarranty INTEGER NOT NULL DEFAULT 0, WarrantyReason TEXT(50),"
    " LaborFee INTEGER NOT NULL DEFAULT 0 CHECK (LaborFee >= 0), Deposit INTEGER NOT NULL DEFAULT 0"
    " CHECK (Deposit >= 0), Total INTEGER NOT NULL DEFAULT 0 CHECK (Total >= 0),"
    " RowVersion INTEGER NOT NULL DEFAULT 1,"
    " CHECK ((Outside = 0 AND SaleID IS NOT NULL) OR"
    " (Outside = 1 AND SaleID IS NULL AND InWarranty = 0 AND CustomerName IS NOT NULL)))",
    "CREATE UNIQUE INDEX RepairInfo_RepairNo ON RepairInfo (RepairNo)",
    "CREATE INDEX RepairInfo_SaleID ON RepairInfo (SaleID, ReceivedAt)",
    "CREATE INDEX RepairInfo_Status ON RepairInfo (Status, ReceivedAt)",
    "CREATE INDEX RepairInfo_ReceivedAt ON RepairInfo (ReceivedAt)",
    "CREATE INDEX RepairInfo_ContactName ON RepairInfo (ContactName)",

    "CREATE TABLE RepairSwap (SwapID INTEGER PRIMARY KEY AUTOINCREMENT,"
    " RepairID INTEGER NOT NULL REFERENCES RepairInfo(RepairID) ON DELETE CASCADE, Component TEXT(20) NOT NULL,"
    " OldModel TEXT(40), OldSerial TEXT(50), NewModel TEXT(40), NewSerial TEXT(50),"
    " Qty INTEGER NOT NULL DEFAULT 1 CHECK (Qty > 0), Price INTEGER NOT NULL DEFAULT 0 CHECK (Price >= 0),"
    " Covered INTEGER NOT NULL DEFAULT 0, WarrantyUntil DATETIME)",
    "CREATE INDEX RepairSwap_RepairID ON RepairSwap (RepairID, SwapID)",
    "CREATE INDEX RepairSwap_OldSerial ON RepairSwap (OldSerial)",
    "CREATE INDEX RepairSwap_NewSerial ON RepairSwap (NewSerial)",

    "CREATE TABLE RepairCounter (Day TEXT(6) NOT NULL PRIMARY KEY, LastNo INTEGER NOT NULL)",
    "CREATE TABLE RepairSetting (Name TEXT(50) NOT NULL PRIMARY KEY, Value TEXT)",

    "CREATE TRIGGER RepairInfo_KeepSale BEFORE DELETE ON SaleInfo"
    " WHEN EXISTS (SELECT 1 FROM RepairInfo WHERE SaleID = old.id) BEGIN"
    " SELECT RAISE(ABORT, '该机器有维修记录，不能删除。'); END",
    "CREATE TRIGGER RepairSwap_Cascade AFTER DELETE ON RepairInfo BEGIN"
    " DELETE FROM RepairSwap WHERE RepairID = old.RepairID; END",

    // The sale records' phones as digits, in an index of their own.
    "CREATE VIRTUAL TABLE SalePhoneFind USING fts5(Digits, content='', tokenize='trigram')",
    "CREATE TRIGGER SalePhoneFind_Insert AFTER INSERT ON SaleInfo BEGIN"
    " INSERT INTO SalePhoneFind(rowid, Digits) VALUES (new.id, " SALE_PHONE_DIGITS("new") "); END",
    "CREATE TRIGGER SalePhoneFind_Delete AFTER DELETE ON SaleInfo BEGIN"
    " INSERT INTO SalePhoneFind(SalePhoneFind, rowid, Digits) VALUES ('delete', old.id, "
    SALE_PHONE_DIGITS("old") "); END",
    "CREATE TRIGGER SalePhoneFind_Update AFTER UPDATE OF id, Phone, Mobile ON SaleInfo BEGIN"
    " INSERT INTO SalePhoneFind(SalePhoneFind, rowid, Digits) VALUES ('delete', old.id, "
    SALE_PHONE_DIGITS("old") ");"
    " INSERT INTO SalePhoneFind(rowid, Digits) VALUES (new.id, " SALE_PHONE_DIGITS("new") "); END",
    "CREATE TRIGGER SalePhoneFind_Replace BEFORE INSERT ON SaleInfo"
    " WHEN new.id IS NOT NULL AND EXISTS (SELECT 1 FROM SaleInfo WHERE id = new.id) BEGIN"
    " INSERT INTO SalePhoneFind(SalePhoneFind, rowid, Digits) SELECT 'delete', id, "
    SALE_PHONE_DIGITS("SaleInfo") " FROM SaleInfo WHERE id = new.id; END",
    "INSERT INTO SalePhoneFind(rowid, Digits) SELECT id, " SALE_PHONE_DIGITS("SaleInfo") " FROM SaleInfo",
};

// Step 7 on both engines: the window of the change log (数据修改记录) and its
// sub-right (恢复与清理) in a catalogue made before them, beside 系统日志
// in the menu and the side bar; a new database gets them from the seed.
// clang-format off
#define CHANGELOG_CATALOGUE                                                                               \
    "INSERT INTO AC_FUNCTIONINFO (FunctionID, FunctionName, FunctionDesc, ControlName, FormModal,"         \
    " ParentFunctionID, IsPublic, OrderNum) SELECT '4009', '数据修改记录', '谁在何时修改了哪些数据', 'TFrmChangeLog'," \
    " 'S', '4000', 'N', (SELECT coalesce(max(OrderNum),0)+1 FROM AC_FUNCTIONINFO) FROM SeqTable"            \
    " WHERE EXISTS (SELECT 1 FROM AC_FUNCTIONINFO WHERE FunctionID='4000')"                                \
    " AND NOT EXISTS (SELECT 1 FROM AC_FUNCTIONINFO WHERE FunctionID='4009')",                             \
    "INSERT INTO AC_FUNCTIONINFO (FunctionID, FunctionName, FunctionDesc, ControlName, FormModal,"         \
    " ParentFunctionID, IsPublic, OrderNum) SELECT '400931', '恢复与清理', '可以恢复已删除的记录、清理旧的修改记录', '', '',"    \
    " '4009', 'N', (SELECT coalesce(max(OrderNum),0)+1 FROM AC_FUNCTIONINFO) FROM SeqTable"                 \
    " WHERE EXISTS (SELECT 1 FROM AC_FUNCTIONINFO WHERE FunctionID='4009')"                                \
    " AND NOT EXISTS (SELECT 1 FROM AC_FUNCTIONINFO WHERE FunctionID='400931')",                           \
    "INSERT INTO AC_MENUSTRUCT (MenuID, MenuText, ParentMenuID, FunctionID, OrderNum)"                     \
    " SELECT (SELECT max(MenuID)+1 FROM AC_MENUSTRUCT), '数据修改记录(&H)', m.ParentMenuID, '4009',"          \
    " (SELECT max(OrderNum)+1 FROM AC_MENUSTRUCT) FROM AC_MENUSTRUCT m WHERE m.FunctionID='4005'"            \
    " AND m.MenuID=(SELECT min(MenuID) FROM AC_MENUSTRUCT WHERE FunctionID='4005')"                        \
    " AND NOT EXISTS (SELECT 1 FROM AC_MENUSTRUCT WHERE FunctionID='4009')",                               \
    "INSERT INTO AC_GROUPCFG (ItemID, ItemText, IconIndex, IsShow, FunctionID, ParentItemID, OrderNum)"    \
    " SELECT (SELECT max(ItemID)+1 FROM AC_GROUPCFG), '数据修改记录', 36, 'Y', '4009', g.ParentItemID,"         \
    " (SELECT max(OrderNum)+1 FROM AC_GROUPCFG) FROM AC_GROUPCFG g WHERE g.FunctionID='4005'"               \
    " AND g.ItemID=(SELECT min(ItemID) FROM AC_GROUPCFG WHERE FunctionID='4005')"                          \
    " AND NOT EXISTS (SELECT 1 FROM AC_GROUPCFG WHERE FunctionID='4009')",                                 \
    "UPDATE SeqTable SET MenuID=(SELECT max(MenuID) FROM AC_MENUSTRUCT),"                                   \
    " MenuOrderID=(SELECT max(OrderNum) FROM AC_MENUSTRUCT) WHERE MenuID<(SELECT max(MenuID) FROM AC_MENUSTRUCT)", \
    "UPDATE SeqTable SET ItemID=(SELECT max(ItemID) FROM AC_GROUPCFG),"                                     \
    " ItemOrderID=(SELECT max(OrderNum) FROM AC_GROUPCFG) WHERE ItemID<(SELECT max(ItemID) FROM AC_GROUPCFG)", \
    "UPDATE SeqTable SET FuncOrderID=(SELECT max(OrderNum) FROM AC_FUNCTIONINFO)"                          \
    " WHERE FuncOrderID<(SELECT max(OrderNum) FROM AC_FUNCTIONINFO)"

// Step 7: the change log.  One row per inserted, updated or deleted row of
// a logged table (see ChangeLog::Tables), written by triggers that
// Schema::Upgrade makes after every upgrade from the tables' columns.
const char* const Version7[] = {
    "CREATE TABLE ChangeLog (LogID INTEGER PRIMARY KEY AUTOINCREMENT, LogTime DATETIME, UserID TEXT(10),"
    " Desk TEXT(64), TableName TEXT(30), RecordKey TEXT(100), Action TEXT(4), Fields TEXT)",
    // A record's history and the window's filters by record number and by
    // action read their rows newest first through these.
    "CREATE INDEX ChangeLog_Record ON ChangeLog (RecordKey, LogID)",
    "CREATE INDEX ChangeLog_Action ON ChangeLog (Action, LogID)",
    "CREATE INDEX ChangeLog_LogTime ON ChangeLog (LogTime)",
    CHANGELOG_CATALOGUE,
};
// clang-format on

// The same schema on a PostgreSQL server.  Every table ends in "rowid", the
// row's identity for the updatable datasets (SQLite's own rowid): the
// integer key where the table has one, otherwise a number the server hands
// out.  It stands last so that an INSERT without a column list fills the
// same columns on both engines.  Sizes are VARCHAR(n) (characters, never
// fewer than the GBK bytes the program cuts to), dates TIMESTAMP(0), which
// prints and compares as "yyyy-MM-dd HH:mm:ss"; user codes are CITEXT, the
// server's text that compares without regard to case.
// clang-format off
#define PG_ROWID_OF(key) ", rowid BIGINT GENERATED ALWAYS AS (" key ") STORED)"
#define PG_ROWID ", rowid BIGINT GENERATED BY DEFAULT AS IDENTITY UNIQUE)"
const char* const PgVersion1[] = {
    "CREATE EXTENSION IF NOT EXISTS citext",
    "CREATE TABLE SeqTable (MenuID INTEGER, MenuOrderID INTEGER, ButtonID INTEGER, FuncOrderID INTEGER,"
    " RoleID INTEGER, ItemID INTEGER, ItemOrderID INTEGER" PG_ROWID,

    "CREATE TABLE UseLog (UserID VARCHAR(10), UserName VARCHAR(10), LogTime TIMESTAMP(0), LogText VARCHAR(100)"
    PG_ROWID,
    "CREATE INDEX UseLog_LogTime ON UseLog (LogTime)",

    "CREATE TABLE AC_USERINFO (UserID CITEXT NOT NULL PRIMARY KEY, UserName VARCHAR(20),"
    " Sex VARCHAR(2), WorkPostID INTEGER, DeptID INTEGER, PersonTypeID INTEGER, WorkStartDate TIMESTAMP(0),"
    " HomeTel VARCHAR(30), WorkTel VARCHAR(30), MobileTel VARCHAR(30), Email VARCHAR(50), QQ VARCHAR(20),"
    " MSN VARCHAR(50), Address VARCHAR(100), UserPass VARCHAR(128), IsUse VARCHAR(1), PassNotOver VARCHAR(1),"
    " PassOverDate TIMESTAMP(0)" PG_ROWID,

    "CREATE TABLE AC_ROLEINFO (RoleID BIGINT NOT NULL PRIMARY KEY, RoleName VARCHAR(50), RoleDesc VARCHAR(200)"
    PG_ROWID_OF("RoleID"),

    "CREATE TABLE AC_FUNCTIONINFO (FunctionID VARCHAR(6) NOT NULL PRIMARY KEY, FunctionName VARCHAR(50),"
    " FunctionDesc VARCHAR(200), ControlName VARCHAR(50), FormModal VARCHAR(1), ParentFunctionID VARCHAR(6),"
    " IsPublic VARCHAR(1), OrderNum INTEGER" PG_ROWID,

    "CREATE TABLE AC_ROLE_USER (RoleID INTEGER, UserID CITEXT" PG_ROWID,
    "CREATE TABLE AC_ROLE_FUNCTION (RoleID INTEGER, FunctionID VARCHAR(6)" PG_ROWID,
    "CREATE TABLE AC_FUNCTION_USER (FunctionID VARCHAR(6), UserID CITEXT" PG_ROWID,

    "CREATE TABLE AC_MENUSTRUCT (MenuID BIGINT NOT NULL PRIMARY KEY, MenuText VARCHAR(50), ParentMenuID INTEGER,"
    " FunctionID VARCHAR(6), OrderNum INTEGER" PG_ROWID_OF("MenuID"),
    "CREATE TABLE AC_TOOLCFG (ButtonID BIGINT NOT NULL PRIMARY KEY, ButtonText VARCHAR(50), IconIndex INTEGER,"
    " IsShow VARCHAR(1), FunctionID VARCHAR(6), OrderNum INTEGER" PG_ROWID_OF("ButtonID"),
    "CREATE TABLE AC_GROUPCFG (ItemID BIGINT NOT NULL PRIMARY KEY, ItemText VARCHAR(50), IconIndex INTEGER,"
    " IsShow VARCHAR(1), FunctionID VARCHAR(6), ParentItemID INTEGER, OrderNum INTEGER" PG_ROWID_OF("ItemID"),

    "CREATE TABLE AC_DEPT (DeptID BIGINT NOT NULL PRIMARY KEY, DeptName VARCHAR(50), DeptDesc VARCHAR(200)"
    PG_ROWID_OF("DeptID"),
    "CREATE TABLE AC_WORKPOST (PostID BIGINT NOT NULL PRIMARY KEY, PostName VARCHAR(50), PostDesc VARCHAR(200)"
    PG_ROWID_OF("PostID"),
    "CREATE TABLE AC_PERSONTYPE (TypeID BIGINT NOT NULL PRIMARY KEY, TypeName VARCHAR(50), TypeDesc VARCHAR(200)"
    PG_ROWID_OF("TypeID"),

    // An identity that only counts up: a deleted sale's id is never handed
    // out again.
    "CREATE TABLE SaleInfo (id BIGINT GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY, Name VARCHAR(8),"
    " Phone VARCHAR(20), Fax VARCHAR(20), Mobile VARCHAR(15), addr VARCHAR(100), BuyDate TIMESTAMP(0),"
    " OverRun TIMESTAMP(0), TB VARCHAR(1), BuyAmount VARCHAR(3), CPU VARCHAR(40), Memory VARCHAR(40),"
    " HD VARCHAR(40), DisplayCard VARCHAR(40), Sound VARCHAR(40), MainBoard VARCHAR(40), Box VARCHAR(40),"
    " Display VARCHAR(40), Power VARCHAR(40), Floppy VARCHAR(40), CDROM VARCHAR(40), Mouse VARCHAR(40),"
    " KeyBoard VARCHAR(40), SoundBox VARCHAR(40), NetWork VARCHAR(40), Modem VARCHAR(40), Print VARCHAR(40),"
    " Other VARCHAR(200), Memo TEXT, RowVersion INTEGER NOT NULL DEFAULT 1" PG_ROWID_OF("id"),
    "CREATE INDEX SaleInfo_OverRun ON SaleInfo (OverRun)",
    "CREATE INDEX SaleInfo_BuyDate ON SaleInfo (BuyDate)",
    "CREATE INDEX SaleInfo_TB ON SaleInfo (TB, id)",

    "CREATE TABLE AC_Company (name VARCHAR(100), addr VARCHAR(100), Phone VARCHAR(50), Phone1 VARCHAR(50),"
    " Fax VARCHAR(50), Mail VARCHAR(50), Web VARCHAR(100), cn1 VARCHAR(255), cn2 VARCHAR(255), cn3 VARCHAR(255)"
    PG_ROWID,

    "CREATE TABLE AreaData (Code VARCHAR(6), Post VARCHAR(8), City VARCHAR(50), Province VARCHAR(30)" PG_ROWID,
};
#undef PG_ROWID
#undef PG_ROWID_OF

// Step 2 on the server: a trigram index over the same text the SQLite
// index holds, for "contains" searches (ILIKE '%...%').
const char* const PgVersion2[] = {
    "CREATE EXTENSION IF NOT EXISTS pg_trgm",
    "CREATE INDEX SaleInfo_Find ON SaleInfo USING gin ((chr(31)||coalesce(Name,'')||chr(31)||coalesce(Phone,'')"
    "||chr(31)||coalesce(Fax,'')||chr(31)||coalesce(Mobile,'')||chr(31)||coalesce(addr,'')||chr(31)"
    "||coalesce(Memo,'')||chr(31)) gin_trgm_ops)",
};
// clang-format on

// Step 3 on the server: the user codes are CITEXT from the first step on.
const char* const PgVersion3[] = {
    "SELECT 1",
};

// Step 4 on the server: the first step has the row version (before the
// rowid, which stays last); only a database made before it lacks it.
const char* const PgVersion4[] = {
    "ALTER TABLE SaleInfo ADD COLUMN IF NOT EXISTS RowVersion INTEGER NOT NULL DEFAULT 1",
};

// Step 5 on the server: the same row versions (after the rowid, which an
// INSERT without a column list never fills) and the same unique role names.
const char* const PgVersion5[] = {
    "ALTER TABLE AC_USERINFO ADD COLUMN IF NOT EXISTS RowVersion INTEGER NOT NULL DEFAULT 1",
    "ALTER TABLE AC_ROLEINFO ADD COLUMN IF NOT EXISTS RowVersion INTEGER NOT NULL DEFAULT 1",
    "ALTER TABLE AC_FUNCTIONINFO ADD COLUMN IF NOT EXISTS RowVersion INTEGER NOT NULL DEFAULT 1",
    "ALTER TABLE AC_MENUSTRUCT ADD COLUMN IF NOT EXISTS RowVersion INTEGER NOT NULL DEFAULT 1",
    "ALTER TABLE AC_TOOLCFG ADD COLUMN IF NOT EXISTS RowVersion INTEGER NOT NULL DEFAULT 1",
    "ALTER TABLE AC_GROUPCFG ADD COLUMN IF NOT EXISTS RowVersion INTEGER NOT NULL DEFAULT 1",
    // Only A-Z fold, as SQLite's NOCASE does, whatever the server's locale.
    "UPDATE AC_ROLEINFO a SET RoleName = left(a.RoleName, 40) || '(' || a.RoleID || ')'"
    " WHERE EXISTS (SELECT 1 FROM AC_ROLEINFO b WHERE b.RoleID < a.RoleID AND"
    " translate(b.RoleName, 'ABCDEFGHIJKLMNOPQRSTUVWXYZ', 'abcdefghijklmnopqrstuvwxyz') ="
    " translate(a.RoleName, 'ABCDEFGHIJKLMNOPQRSTUVWXYZ', 'abcdefghijklmnopqrstuvwxyz'))",
    "CREATE UNIQUE INDEX IF NOT EXISTS AC_ROLEINFO_RoleName ON AC_ROLEINFO"
    " ((translate(RoleName, 'ABCDEFGHIJKLMNOPQRSTUVWXYZ', 'abcdefghijklmnopqrstuvwxyz') COLLATE \"C\"))",
};

// Step 6 on the server: the repair desk as above.  The server enforces the
// foreign keys itself: a sale with visits cannot be deleted, and a visit's
// swaps go with it.  Trigram indexes serve the searches by a fragment of a
// phone (as digits), a name or a serial number.
// clang-format off
const char* const PgVersion6[] = {
    "CREATE TABLE RepairInfo (RepairID BIGINT GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY,"
    " RepairNo VARCHAR(20) NOT NULL, SaleID BIGINT REFERENCES SaleInfo(id), Outside INTEGER NOT NULL DEFAULT 0,"
    " CustomerName VARCHAR(20), CustomerAddr VARCHAR(100), CPU VARCHAR(40), MainBoard VARCHAR(40),"
    " Memory VARCHAR(40), HD VARCHAR(40), ContactName VARCHAR(20), ContactPhone VARCHAR(30),"
    " ReceivedAt TIMESTAMP(0) NOT NULL, DueAt TIMESTAMP(0), ReadyAt TIMESTAMP(0), PickedUpAt TIMESTAMP(0),"
    " NotifiedAt TIMESTAMP(0), Problem TEXT NOT NULL, Accessories VARCHAR(200), Appearance VARCHAR(200),"
    " Diagnosis TEXT, Action TEXT, Technician VARCHAR(20), ReceivedBy VARCHAR(20), Remark TEXT,"
    " Status INTEGER NOT NULL DEFAULT 0 CHECK (Status BETWEEN 0 AND 3), Outcome VARCHAR(10),"
    " InWarranty INTEGER NOT NULL DEFAULT 0, WarrantyReason VARCHAR(50),"
    " LaborFee BIGINT NOT NULL DEFAULT 0 CHECK (LaborFee >= 0), Deposit BIGINT NOT NULL DEFAULT 0"
    " CHECK (Deposit >= 0), Total BIGINT NOT NULL DEFAULT 0 CHECK (Total >= 0),"
    " RowVersion INTEGER NOT NULL DEFAULT 1,"
    " CHECK ((Outside = 0 AND SaleID IS NOT NULL) OR"
    " (Outside = 1 AND SaleID IS NULL AND InWarranty = 0 AND CustomerName IS NOT NULL)),"
    " rowid BIGINT GENERATED ALWAYS AS (RepairID) STORED)",
    "CREATE UNIQUE INDEX RepairInfo_RepairNo ON RepairInfo (RepairNo)",
    "CREATE INDEX RepairInfo_SaleID ON RepairInfo (SaleID, ReceivedAt)",
    "CREATE INDEX RepairInfo_Status ON RepairInfo (Status, ReceivedAt)",
    "CREATE INDEX RepairInfo_ReceivedAt ON RepairInfo (ReceivedAt)",
    "CREATE INDEX RepairInfo_Find ON RepairInfo USING gin ((chr(31)||coalesce(ContactName,'')||chr(31)"
    "||replace(replace(coalesce(ContactPhone,''),'-',''),' ','')||chr(31)||coalesce(CustomerName,'')||chr(31))"
    " gin_trgm_ops)",

    "CREATE TABLE RepairSwap (SwapID BIGINT GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY,"
    " RepairID BIGINT NOT NULL REFERENCES RepairInfo(RepairID) ON DELETE CASCADE, Component VARCHAR(20) NOT NULL,"
    " OldModel VARCHAR(40), OldSerial VARCHAR(50), NewModel VARCHAR(40), NewSerial VARCHAR(50),"
    " Qty INTEGER NOT NULL DEFAULT 1 CHECK (Qty > 0), Price BIGINT NOT NULL DEFAULT 0 CHECK (Price >= 0),"
    " Covered INTEGER NOT NULL DEFAULT 0, WarrantyUntil TIMESTAMP(0),"
    " rowid BIGINT GENERATED ALWAYS AS (SwapID) STORED)",
    "CREATE INDEX RepairSwap_RepairID ON RepairSwap (RepairID, SwapID)",
    "CREATE INDEX RepairSwap_Serial ON RepairSwap USING gin ((chr(31)||coalesce(OldSerial,'')||chr(31)"
    "||coalesce(NewSerial,'')||chr(31)) gin_trgm_ops)",

    "CREATE TABLE RepairCounter (Day VARCHAR(6) NOT NULL PRIMARY KEY, LastNo INTEGER NOT NULL,"
    " rowid BIGINT GENERATED BY DEFAULT AS IDENTITY UNIQUE)",
    "CREATE TABLE RepairSetting (Name VARCHAR(50) NOT NULL PRIMARY KEY, Value TEXT,"
    " rowid BIGINT GENERATED BY DEFAULT AS IDENTITY UNIQUE)",

    "CREATE INDEX SaleInfo_PhoneDigits ON SaleInfo USING gin ((chr(31)||replace(replace(coalesce(Phone,''),'-',''),"
    "' ','')||chr(31)||replace(replace(coalesce(Mobile,''),'-',''),' ','')||chr(31)) gin_trgm_ops)",
};
// clang-format on

// Step 7 on the server: the change log, as on SQLite.
// clang-format off
const char* const PgVersion7[] = {
    "CREATE TABLE ChangeLog (LogID BIGINT GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY, LogTime TIMESTAMP(0),"
    " UserID VARCHAR(10), Desk VARCHAR(64), TableName VARCHAR(30), RecordKey VARCHAR(100), Action VARCHAR(4),"
    " Fields TEXT, rowid BIGINT GENERATED ALWAYS AS (LogID) STORED)",
    // A record's history and the window's filters by record number and by
    // action read their rows newest first through these.
    "CREATE INDEX ChangeLog_Record ON ChangeLog (RecordKey, LogID)",
    "CREATE INDEX ChangeLog_Action ON ChangeLog (Action, LogID)",
    "CREATE INDEX ChangeLog_LogTime ON ChangeLog (LogTime)",
    CHANGELOG_CATALOGUE,
};
// clang-format on
#undef CHANGELOG_CATALOGUE

// Step 8 on the server: the record manager's column search compares a
// text column with its Latin letters folded to lower case, byte by byte
// (SqlDialect::NoCaseCompare), and a count by its leading digits
// (SqlDialect::IntegerOf).  Each searchable column gets a B-tree over
// exactly that expression, then the key: "=", "<", ">", "<=" and ">=" read
// the index, and the rows of one value come in key order, so the first page
// of a common value stops after a page.  The dates have their indexes from
// the first step; "contains" searches read the trigram index of step 2.
// Made only where missing, so that the step may run again over a database
// taken back to an earlier version by hand.
// clang-format off
#define PG_FOLDED(column) "(translate(" column ",'ABCDEFGHIJKLMNOPQRSTUVWXYZ','abcdefghijklmnopqrstuvwxyz') COLLATE \"C\")"
#define PG_SEARCH_INDEX(column) "CREATE INDEX IF NOT EXISTS SaleInfo_Search_" column " ON SaleInfo (" PG_FOLDED(column) ", id)"
const char* const PgVersion8[] = {
    PG_SEARCH_INDEX("Name"), PG_SEARCH_INDEX("addr"), PG_SEARCH_INDEX("CPU"), PG_SEARCH_INDEX("Memory"),
    PG_SEARCH_INDEX("HD"), PG_SEARCH_INDEX("DisplayCard"), PG_SEARCH_INDEX("Sound"), PG_SEARCH_INDEX("MainBoard"),
    PG_SEARCH_INDEX("Box"), PG_SEARCH_INDEX("Display"), PG_SEARCH_INDEX("Power"), PG_SEARCH_INDEX("Floppy"),
    PG_SEARCH_INDEX("CDROM"), PG_SEARCH_INDEX("Mouse"), PG_SEARCH_INDEX("KeyBoard"), PG_SEARCH_INDEX("SoundBox"),
    PG_SEARCH_INDEX("NetWork"), PG_SEARCH_INDEX("Modem"), PG_SEARCH_INDEX("Print"),
    "CREATE INDEX IF NOT EXISTS SaleInfo_Search_BuyAmount ON SaleInfo"
    " ((coalesce(substring(BuyAmount from '^\\s*([+-]?[0-9]{1,18})')::bigint,0)), id)",
    // The planner learns the expressions' values now, not at the server's
    // next background analysis.
    "ANALYZE SaleInfo",
};
#undef PG_SEARCH_INDEX
#undef PG_FOLDED
// Step 9 on both engines: 经营统计 (the shop's figures) under 销售管理 in
// a catalogue made before it: the function, a menu row after the sale
// menu's last, a toolbar button after 客户录入 and a side-bar row in the
// sale group; a new database gets them from the seed.  Money taken is
// counted by the day of 取机, through an index of its own.
// clang-format off
#define STATS_CATALOGUE \
    "CREATE INDEX IF NOT EXISTS RepairInfo_PickedUpAt ON RepairInfo (PickedUpAt)", \
    "INSERT INTO AC_FUNCTIONINFO (FunctionID, FunctionName, FunctionDesc, ControlName, FormModal," \
    " ParentFunctionID, IsPublic, OrderNum) SELECT '2004', '经营统计', '销售、保修到期与维修的统计图表', 'TFrmBusinessStats'," \
    " 'S', '2000', 'N', (SELECT coalesce(max(OrderNum),0)+1 FROM AC_FUNCTIONINFO) FROM SeqTable" \
    " WHERE EXISTS (SELECT 1 FROM AC_FUNCTIONINFO WHERE FunctionID='2000')" \
    " AND NOT EXISTS (SELECT 1 FROM AC_FUNCTIONINFO WHERE FunctionID='2004')", \
    "INSERT INTO AC_MENUSTRUCT (MenuID, MenuText, ParentMenuID, FunctionID, OrderNum)" \
    " SELECT (SELECT max(MenuID)+1 FROM AC_MENUSTRUCT), '经营统计(&S)', m.ParentMenuID, '2004'," \
    " (SELECT max(OrderNum)+1 FROM AC_MENUSTRUCT) FROM AC_MENUSTRUCT m WHERE m.FunctionID='2001'" \
    " AND m.MenuID=(SELECT min(MenuID) FROM AC_MENUSTRUCT WHERE FunctionID='2001')" \
    " AND NOT EXISTS (SELECT 1 FROM AC_MENUSTRUCT WHERE FunctionID='2004')", \
    "UPDATE AC_TOOLCFG SET OrderNum=OrderNum+1 WHERE OrderNum>(SELECT min(OrderNum) FROM AC_TOOLCFG" \
    " WHERE FunctionID='2002') AND NOT EXISTS (SELECT 1 FROM AC_TOOLCFG WHERE FunctionID='2004')", \
    "INSERT INTO AC_TOOLCFG (ButtonID, ButtonText, IconIndex, IsShow, FunctionID, OrderNum)" \
    " SELECT (SELECT max(ButtonID)+1 FROM AC_TOOLCFG), '经营统计', 39, 'Y', '2004', b.OrderNum+1" \
    " FROM AC_TOOLCFG b WHERE b.FunctionID='2002'" \
    " AND b.ButtonID=(SELECT min(ButtonID) FROM AC_TOOLCFG WHERE FunctionID='2002')" \
    " AND NOT EXISTS (SELECT 1 FROM AC_TOOLCFG WHERE FunctionID='2004')", \
    "INSERT INTO AC_GROUPCFG (ItemID, ItemText, IconIndex, IsShow, FunctionID, ParentItemID, OrderNum)" \
    " SELECT (SELECT max(ItemID)+1 FROM AC_GROUPCFG), '经营统计', 39, 'Y', '2004', g.ParentItemID," \
    " (SELECT max(OrderNum)+1 FROM AC_GROUPCFG) FROM AC_GROUPCFG g WHERE g.FunctionID='2001'" \
    " AND g.ItemID=(SELECT min(ItemID) FROM AC_GROUPCFG WHERE FunctionID='2001')" \
    " AND NOT EXISTS (SELECT 1 FROM AC_GROUPCFG WHERE FunctionID='2004')", \
    "UPDATE SeqTable SET MenuID=(SELECT max(MenuID) FROM AC_MENUSTRUCT)," \
    " MenuOrderID=(SELECT max(OrderNum) FROM AC_MENUSTRUCT) WHERE MenuID<(SELECT max(MenuID) FROM AC_MENUSTRUCT)", \
    "UPDATE SeqTable SET ButtonID=(SELECT max(ButtonID) FROM AC_TOOLCFG) WHERE ButtonID<(SELECT max(ButtonID) FROM AC_TOOLCFG)", \
    "UPDATE SeqTable SET ItemID=(SELECT max(ItemID) FROM AC_GROUPCFG)," \
    " ItemOrderID=(SELECT max(OrderNum) FROM AC_GROUPCFG) WHERE ItemID<(SELECT max(ItemID) FROM AC_GROUPCFG)", \
    "UPDATE SeqTable SET FuncOrderID=(SELECT max(OrderNum) FROM AC_FUNCTIONINFO)" \
    " WHERE FuncOrderID<(SELECT max(OrderNum) FROM AC_FUNCTIONINFO)"

// The records whose date cannot be read, in partial indexes of their own:
// the statistics count them without reading every record (the server's
// timestamps are always dates; a missing one is found through the date's
// own index).
const char* const Version9[] = {
    STATS_CATALOGUE,
    "CREATE INDEX IF NOT EXISTS SaleInfo_UnreadableBuyDate ON SaleInfo (id) WHERE BuyDate is null or"
    " date(BuyDate,'+0 days') is not substr(BuyDate,1,10)",
    "CREATE INDEX IF NOT EXISTS RepairInfo_UnreadableReceivedAt ON RepairInfo (RepairID) WHERE ReceivedAt is null or"
    " date(ReceivedAt,'+0 days') is not substr(ReceivedAt,1,10)",
};
const char* const PgVersion9[] = {
    STATS_CATALOGUE,
};
#undef STATS_CATALOGUE
// clang-format on

// Step 10: the statistics count a year of a million records from indexes
// alone.  Each counting query gets an index holding every column it reads
// (the engine then never visits the rows themselves), and the dates they
// count by get partial indexes of their unreadable values, so a row's date
// is never parsed while counting (SqlDialect::ReadableRows).
// clang-format off
#define UNREADABLE_INDEX(table, key, column) \
    "CREATE INDEX IF NOT EXISTS " table "_Unreadable" column " ON " table " (" key ") WHERE " column \
    " is null or date(" column ",'+0 days') is not substr(" column ",1,10)"
const char* const Version10[] = {
    "CREATE INDEX IF NOT EXISTS SaleInfo_BuyDateStats ON SaleInfo (BuyDate, TB, CPU)",
    "CREATE INDEX IF NOT EXISTS RepairInfo_ReceivedStats ON RepairInfo"
    " (ReceivedAt, Status, InWarranty, ReadyAt, Technician)",
    "CREATE INDEX IF NOT EXISTS RepairInfo_PickedUpStats ON RepairInfo (PickedUpAt, Status, LaborFee, Total)",
    "DROP INDEX IF EXISTS RepairInfo_PickedUpAt",
    "CREATE INDEX IF NOT EXISTS RepairSwap_Components ON RepairSwap (RepairID, Component, Qty)",
    UNREADABLE_INDEX("SaleInfo", "id", "OverRun"),
    UNREADABLE_INDEX("RepairInfo", "RepairID", "ReadyAt"),
    UNREADABLE_INDEX("RepairInfo", "RepairID", "PickedUpAt"),
};
#undef UNREADABLE_INDEX
// clang-format on

// Step 12: the two indexes' triggers for an insert that replaces a stored
// row pass over an insert that names no id.  Before the insert such an id
// reads -1: with a record of id -1 stored, every ordinary insert took that
// record's text out of the index again, until it was missing from quick
// find and the index's counts went wrong.  Only an insert naming the id -1
// itself is no longer seen (a replace of that record leaves its old text
// beside the new one).  An index so damaged is emptied and filled again.
// clang-format off
#define REPLACE_WHEN " WHEN new.id IS NOT NULL AND new.id <> -1 AND EXISTS (SELECT 1 FROM SaleInfo WHERE id = new.id) BEGIN"
#define IF_DAMAGED " WHERE EXISTS (SELECT 1 FROM SaleInfo WHERE id = -1)"
const char* const Version12[] = {
    "DROP TRIGGER IF EXISTS SaleFind_Replace",
    "CREATE TRIGGER SaleFind_Replace BEFORE INSERT ON SaleInfo" REPLACE_WHEN
    " INSERT INTO SaleFind(SaleFind, rowid, Body) SELECT 'delete', id, " SALE_FIND_TEXT("SaleInfo")
    " FROM SaleInfo WHERE id = new.id; END",
    "INSERT INTO SaleFind(SaleFind) SELECT 'delete-all'" IF_DAMAGED,
    "INSERT INTO SaleFind(rowid, Body) SELECT id, " SALE_FIND_TEXT("SaleInfo") " FROM SaleInfo" IF_DAMAGED,
    "DROP TRIGGER IF EXISTS SalePhoneFind_Replace",
    "CREATE TRIGGER SalePhoneFind_Replace BEFORE INSERT ON SaleInfo" REPLACE_WHEN
    " INSERT INTO SalePhoneFind(SalePhoneFind, rowid, Digits) SELECT 'delete', id, "
    SALE_PHONE_DIGITS("SaleInfo") " FROM SaleInfo WHERE id = new.id; END",
    "INSERT INTO SalePhoneFind(SalePhoneFind) SELECT 'delete-all'" IF_DAMAGED,
    "INSERT INTO SalePhoneFind(rowid, Digits) SELECT id, " SALE_PHONE_DIGITS("SaleInfo") " FROM SaleInfo"
    IF_DAMAGED,
};
#undef IF_DAMAGED
#undef REPLACE_WHEN
#undef SALE_PHONE_DIGITS
#undef SALE_FIND_TEXT
// clang-format on

// Step 11 on the server: a fragment of two characters has no trigram, so
// the trigram index of step 2 cannot find it and quick find read every
// record.  SaleInfo_Bigrams gives the two-character pieces of a text as
// ILIKE compares it (lower-cased as it lower-cases): the pieces starting at
// odd positions, then those at even ones, each closed by char 30, split,
// the lone last characters dropped.  A GIN index over the pieces of the
// quick-find text finds every record holding a pair exactly.  Only where
// missing, as step 8.
// clang-format off
const char* const PgVersion11[] = {
    "CREATE OR REPLACE FUNCTION SaleInfo_Bigrams(t text) RETURNS text[] LANGUAGE plpgsql IMMUTABLE PARALLEL SAFE"
    " AS $body$ DECLARE l text := lower(t); BEGIN RETURN array_remove(string_to_array("
    "regexp_replace(l, '(..)|.', '\\1'||chr(30), 'g')||regexp_replace(substr(l, 2), '(..)|.', '\\1'||chr(30), 'g'),"
    " chr(30)), ''); END $body$",
    "CREATE INDEX IF NOT EXISTS SaleInfo_FindPairs ON SaleInfo USING gin (SaleInfo_Bigrams((chr(31)||coalesce(Name,'')"
    "||chr(31)||coalesce(Phone,'')||chr(31)||coalesce(Fax,'')||chr(31)||coalesce(Mobile,'')||chr(31)||coalesce(addr,'')"
    "||chr(31)||coalesce(Memo,'')||chr(31))))",
    "ANALYZE SaleInfo",
};
// clang-format on

struct Step
{
    const char* const* statements;
    int count;
    // Run after the statements: rows a step adds to the configuration.
    bool (*extra)(SqlConnection& connection, QString* error) = nullptr;
};

// clang-format off
const Step Steps[] = {
    {Version1, int(std::size(Version1))},
    {Version2, int(std::size(Version2))},
    {Version3, int(std::size(Version3))},
    {Version4, int(std::size(Version4))},
    {Version5, int(std::size(Version5))},
    {Version6, int(std::size(Version6)), AddRepairCatalogue},
    {Version7, int(std::size(Version7))},
    // Step 8 is the server's alone.
    {nullptr, 0},
    {Version9, int(std::size(Version9))},
    {Version10, int(std::size(Version10))},
    // Step 11 is the server's alone.
    {nullptr, 0},
    {Version12, int(std::size(Version12))},
};
const Step PgSteps[] = {
    {PgVersion1, int(std::size(PgVersion1))},
    {PgVersion2, int(std::size(PgVersion2))},
    {PgVersion3, int(std::size(PgVersion3))},
    {PgVersion4, int(std::size(PgVersion4))},
    {PgVersion5, int(std::size(PgVersion5))},
    {PgVersion6, int(std::size(PgVersion6)), AddRepairCatalogue},
    {PgVersion7, int(std::size(PgVersion7))},
    {PgVersion8, int(std::size(PgVersion8))},
    {PgVersion9, int(std::size(PgVersion9))},
    // Step 10 needs nothing on the server, whose planner groups by hash.
    {nullptr, 0},
    {PgVersion11, int(std::size(PgVersion11))},
    // Step 12 is SQLite's alone: the server keeps its indexes itself.
    {nullptr, 0},
};
// clang-format on
static_assert(std::size(Steps) == Schema::CurrentVersion, "one upgrade step per schema version");
static_assert(std::size(PgSteps) == Schema::CurrentVersion, "one server step per schema version");

// Bounds on reading the objects of a file from outside: ours are a few
// dozen short statements, anything beyond these is somebody else's anyway.
constexpr int MaxObjects = 10000;
constexpr int MaxSqlText = 100000;
constexpr int MaxNamesShown = 20;

struct SchemaObject
{
    QString type;
    QString table;
    QVariant sql; // null for the engine's own indexes of keys
};
using SchemaObjects = QMap<QString, SchemaObject>; // by name

QString KindName(const QString& type)
{
    if (type == QLatin1String("table"))
        return QStringLiteral("表");
    if (type == QLatin1String("index"))
        return QStringLiteral("索引");
    if (type == QLatin1String("trigger"))
        return QStringLiteral("触发器");
    if (type == QLatin1String("view"))
        return QStringLiteral("视图");
    return type;
}

// The statistics ANALYZE keeps are the engine's, made by any connection
// that runs it; they steer the planner and run nothing.
bool IsEngineBookkeeping(const QString& type, const QString& name)
{
    static const QRegularExpression statistics(QStringLiteral("^sqlite_stat[1-4]$"),
                                               QRegularExpression::CaseInsensitiveOption);
    return type == QLatin1String("table") && statistics.match(name).hasMatch();
}

// false with `error` when the objects cannot be read; `overflow` when there
// are more than anybody's schema of ours could hold.
bool ReadObjects(SqlConnection& connection, SchemaObjects* objects, bool* overflow, QString* error)
{
    objects->clear();
    *overflow = false;
    SqlStatement read(&connection, SqlDialect::SchemaObjects(&connection));
    if (!read.Bind({MaxSqlText + 1})) {
        *error = read.ErrorString();
        return false;
    }
    while (read.Step()) {
        const QString type = read.ColumnValue(0).toString();
        const QString name = read.ColumnValue(1).toString();
        if (IsEngineBookkeeping(type, name))
            continue;
        if (objects->size() >= MaxObjects) {
            *overflow = true;
            break;
        }
        objects->insert(name, {type, read.ColumnValue(2).toString(), read.ColumnValue(3)});
    }
    if (read.Failed()) {
        *error = read.ErrorString();
        return false;
    }
    return true;
}

QString Described(const QString& name, const SchemaObject& object)
{
    return QStringLiteral("%1（%2）").arg(name, KindName(object.type));
}

QString NameList(const QStringList& names)
{
    if (names.size() <= MaxNamesShown)
        return names.join(QStringLiteral("、"));
    return names.mid(0, MaxNamesShown).join(QStringLiteral("、")) +
           QStringLiteral(" 等 %1 个").arg(names.size());
}

} // namespace

namespace Schema {

int Version(SqlConnection& connection)
{
    return SqlDialect::SchemaVersion(connection);
}

bool Upgrade(SqlConnection& connection, QString* error, int target)
{
    const int version = Version(connection);
    if (version < 0) {
        *error = connection.ErrorString();
        return false;
    }
    if (version > CurrentVersion) {
        *error = QStringLiteral(
                     "数据库由更新版本的程序创建（数据库版本 %1，本程序支持到版本 %2），请使用新版本的程序。")
                     .arg(version)
                     .arg(CurrentVersion);
        return false;
    }
    target = qBound(1, target, CurrentVersion);
    if (version >= target)
        return true;
    SqlTransaction transaction(&connection);
    if (!transaction.IsActive()) {
        *error = connection.ErrorString();
        return false;
    }
    for (int v = version; v < target; ++v) {
        const Step& step = connection.IsServer() ? PgSteps[v] : Steps[v];
        for (int i = 0; i < step.count; ++i) {
            if (!connection.ExecRaw(QString::fromUtf8(step.statements[i]))) {
                *error = connection.ErrorString();
                return false;
            }
        }
        if (step.extra && !step.extra(connection, error))
            return false;
    }
    // The change-log triggers follow the tables' columns as the steps left
    // them, so a step that adds a column to a logged table needs nothing more.
    if (target >= ChangeLogVersion && !ChangeLog::CreateTriggers(connection, error))
        return false;
    if (!SqlDialect::SetSchemaVersion(connection, target) || !transaction.Commit()) {
        *error = connection.ErrorString();
        return false;
    }
    return true;
}

const QStringList& DataTables()
{
    static const QStringList tables = {
        "SeqTable",      "UseLog",           "AC_USERINFO",      "AC_ROLEINFO",   "AC_FUNCTIONINFO",
        "AC_ROLE_USER",  "AC_ROLE_FUNCTION", "AC_FUNCTION_USER", "AC_MENUSTRUCT", "AC_TOOLCFG",
        "AC_GROUPCFG",   "AC_DEPT",          "AC_WORKPOST",      "AC_PERSONTYPE", "SaleInfo",
        "AC_Company",    "AreaData",         "RepairInfo",       "RepairSwap",    "RepairCounter",
        "RepairSetting", "ChangeLog",
    };
    return tables;
}

bool CheckObjects(SqlConnection& connection, ObjectCheck* result, QString* error)
{
    *result = {};
    if (connection.IsServer())
        return true;
    const int version = Version(connection);
    if (version < 0) {
        *error = connection.ErrorString();
        return false;
    }
    if (version > CurrentVersion)
        return true;
    // What our steps make, made by the same steps in a scratch database:
    // every later step is covered without a list to keep.
    SchemaObjects expected;
    bool overflow = false;
    if (version > 0) {
        SqlConnection scratch;
        QString failure;
        if (!scratch.CreateInMemory() || !Upgrade(scratch, &failure, version) ||
            !ReadObjects(scratch, &expected, &overflow, &failure)) {
            *error = QStringLiteral("无法建立用于比较的数据库结构：") +
                     (failure.isEmpty() ? scratch.ErrorString() : failure);
            return false;
        }
    }
    SchemaObjects present;
    if (!ReadObjects(connection, &present, &overflow, error))
        return false;
    for (auto it = present.cbegin(); it != present.cend(); ++it) {
        const auto ours = expected.constFind(it.key());
        const bool same = ours != expected.cend() && ours->type == it->type && ours->table == it->table &&
                          ours->sql.isNull() == it->sql.isNull() &&
                          ours->sql.toString() == it->sql.toString();
        if (!same)
            result->foreign << Described(it.key(), *it);
    }
    if (overflow)
        result->foreign << QStringLiteral("另有超过 %1 个对象").arg(MaxObjects);
    for (auto it = expected.cbegin(); it != expected.cend(); ++it)
        if (!present.contains(it.key()))
            result->missing << Described(it.key(), *it);
    return true;
}

bool OnlyOurObjects(SqlConnection& connection, QString* reason)
{
    ObjectCheck check;
    if (!CheckObjects(connection, &check, reason))
        return false;
    if (!check.foreign.isEmpty()) {
        *reason = QStringLiteral("数据库中含有本程序以外的数据库对象：") + NameList(check.foreign);
        return false;
    }
    if (!check.missing.isEmpty()) {
        *reason = QStringLiteral("数据库中缺少本程序的数据库对象：") + NameList(check.missing);
        return false;
    }
    return true;
}

QString ObjectNames(const QStringList& entries)
{
    return NameList(entries);
}

QString ForeignObjectsRefusal()
{
    return QStringLiteral("备份文件中含有本程序以外的数据库对象，不能还原。");
}

bool AcceptRestored(SqlConnection& connection, QString* error)
{
    const int version = Version(connection);
    int ourTables = 0;
    {
        // Finished before the upgrade: a statement still reading the schema
        // would lock the tables an upgrade step replaces.
        SqlStatement tables(&connection, SqlDialect::CountTables(&connection, 4));
        if (tables.Bind({"SaleInfo", "AC_USERINFO", "AC_FUNCTIONINFO", "UseLog"}) && tables.Step())
            ourTables = tables.ColumnValue(0).toInt();
    }
    if (version <= 0 || ourTables != 4) {
        *error = QStringLiteral("不是本程序的数据库");
        return false;
    }
    // Checked before the upgrade: nothing of the file runs before then.
    ObjectCheck check;
    if (!CheckObjects(connection, &check, error))
        return false;
    if (!check.foreign.isEmpty()) {
        WriteLogLine(QStringLiteral("备份文件中含有本程序以外的数据库对象：") + NameList(check.foreign));
        *error = ForeignObjectsRefusal();
        return false;
    }
    if (!check.missing.isEmpty()) {
        *error = QStringLiteral("不是本程序的数据库（缺少数据库对象：%1）").arg(NameList(check.missing));
        return false;
    }
    QString upgradeError;
    if (!Upgrade(connection, &upgradeError)) {
        *error = QStringLiteral("数据库无法打开：") + upgradeError;
        return false;
    }
    return true;
}

bool OptimizeIndexes(SqlConnection& connection, QString* error)
{
    if (connection.IsServer() || Version(connection) < QuickFindVersion)
        return true;
    if (connection.ExecRaw(QStringLiteral("INSERT INTO SaleFind(SaleFind) VALUES ('optimize')")))
        return true;
    *error = connection.ErrorString();
    return false;
}

} // namespace Schema
