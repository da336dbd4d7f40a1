#include "BackupReminder.h"

#include "BackupFolder.h"
#include "BackupStatus.h"
#include "ExpiryNotice.h"
#include "NoticeStrip.h"
#include "TFrmBackUp.h"
#include "TFrmMain.h"
#include "TFunctions.h"

#include <QMdiArea>
#include <QPushButton>

namespace {

constexpr const char* BackupNoticeProperty = "backupNotice";

bool MayBackUp(const TFunctions& rights)
{
    return !rights.GrantedFunctionOpening(QStringLiteral("TFrmBackUp")).isEmpty();
}

} // namespace

ExpiryNotice* RemindStaleBackup(TFrmMain* window)
{
    for (ExpiryNotice* earlier : window->Notices()->findChildren<ExpiryNotice*>(Qt::FindDirectChildrenOnly))
        if (earlier->property(BackupNoticeProperty).toBool())
            delete earlier;
    BackupStatusLabel::RefreshAll();
    if (!window->FunctionRights() || !MayBackUp(*window->FunctionRights()))
        return nullptr;
    const QString text =
        BackupStatus::NoticeText(BackupStatus::Read(BackupFolder::Path()), BackupStatus::Now());
    if (text.isEmpty())
        return nullptr;
    // In the notice strip beside the warranty notice, never over a form.
    auto* notice = new ExpiryNotice(text, window->Notices());
    notice->setObjectName(QStringLiteral("BackupNotice"));
    notice->setAccessibleName(QStringLiteral("备份提醒"));
    notice->setProperty(BackupNoticeProperty, true);
    if (auto* button = notice->findChild<QPushButton*>("BtnExpiryView")) {
        button->setObjectName("BtnBackupNow");
        button->setText(QStringLiteral("立即备份"));
    }
    notice->adjustSize();
    QObject::connect(notice, &ExpiryNotice::viewRequested, window, [window] {
        TFrmBackUp dialog(window);
        dialog.ReadSettings();
        dialog.btnBackupClick();
    });
    window->Notices()->AddNotice(notice);
    return notice;
}
