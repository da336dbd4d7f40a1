#include "TFrmCompressData.h"
#include "ui_TFrmCompressData.h"

#include "AppDir.h"
#include "DataAccess.h"
#include "Dialogs.h"
#include "IconList.h"
#include "Settings.h"
#include "TDataM.h"
#include "TFrmBackUp.h"
#include "TWaitForm.h"
#include "WaitPas.h"

#include <QFileInfo>
#include <QGraphicsDropShadowEffect>

TFrmCompressData::TFrmCompressData(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      ui(std::make_unique<Ui::TFrmCompressData>())
{
    ui->setupUi(this);
    setFixedSize(337, 100);
    ui->Image1->setPixmap(IconList::Large(IconList::Compress));
    auto* shadow = new QGraphicsDropShadowEffect(ui->RzLabel1);
    shadow->setBlurRadius(0);
    shadow->setOffset(1, 1);
    shadow->setColor(QColor(0, 0, 0, 60));
    ui->RzLabel1->setGraphicsEffect(shadow);
    connect(ui->btnCompress, &QPushButton::clicked, this, &TFrmCompressData::btnCompressClick);
}

TFrmCompressData::~TFrmCompressData() = default;

void TFrmCompressData::btnCompressClick()
{
    if (Settings::DatabaseIsServer()) {
        CompactOnServer();
        return;
    }
    // Always the configured file, never one read back from the connection.
    const QString database = GetAppDir() + "data/data.mdb";
    if (!QFileInfo(database).isFile()) {
        Dialogs::Instance().Inform(this, {QStringLiteral("无法获得数据库来源，压缩修复ACCESS数据库失败。"),
                                          QStringLiteral("错误"), Dialogs::Icon::Critical});
        return;
    }
    if (!TFrmBackUp::DatabaseFree(this) || RunCompaction(database))
        return;
    QString text = QStringLiteral("无法正常读取数据库文件“") + database +
                   QStringLiteral("”，如果该文件已经损坏或丢失，请重新安装本程序。");
    if (!m_lastError.isEmpty())
        text += "\n" + m_lastError;
    Dialogs::Instance().Inform(this, {text, QStringLiteral("错误"), Dialogs::Icon::Critical});
    Opendata();
}

bool TFrmCompressData::RunCompaction(const QString& database)
{
    WaitPas worker(database, WaitPas::Compact, 0, -1);
    TWaitForm wait(this);
    wait.SetStatus(QStringLiteral("正在压缩数据库，请稍候……"));
    wait.RunWhile(&worker);
    m_lastError = worker.Error();
    if (!worker.Result())
        return false;
    Dialogs::Instance().Inform(this, {QStringLiteral("数据库压缩成功！"), QStringLiteral("提示"),
                                      Dialogs::Icon::Information});
    accept();
    return true;
}

void TFrmCompressData::CompactOnServer()
{
    // The tables are rewritten in place on the server: the connection stays.
    if (RunCompaction(QString()))
        return;
    Dialogs::Instance().Inform(this, {TFrmBackUp::FailureText(m_lastError), QStringLiteral("提示"),
                                      Dialogs::Icon::Critical});
}

void TFrmCompressData::Opendata()
{
    if (DataM && !DataM->ADOConn.IsOpen())
        DataM->ConnectDatabase();
}
