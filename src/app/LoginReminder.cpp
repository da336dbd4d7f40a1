#include "LoginReminder.h"

#include "ExpiryNotice.h"
#include "NoticeStrip.h"
#include "Settings.h"
#include "TFrmMain.h"
#include "TFrmSaleManage.h"
#include "TFunctions.h"
#include "WarrantyReminder.h"
#include "WarrantySettings.h"

#include "RepairReminderLine.h"

#include <QStatusBar>
#include <QSystemTrayIcon>

namespace {

// A function of the catalogue that opens the record manager and that the
// user has been granted; empty when there is none.
QString GrantedManagerFunction(const TFunctions& rights)
{
    return rights.GrantedFunctionOpening(QStringLiteral("TFrmSaleManage"));
}

// The open-repairs line in the status bar for a user who may open the
// repair list (removed for one who may not); the line's text for the notice
// when something is open, else empty.
QString ShowRepairReminders(TFrmMain* window)
{
    RepairReminderLine* line = window->statusBar()->findChild<RepairReminderLine*>();
    if (!window->FunctionRights() || !window->FunctionRights()->IsGranted(QStringLiteral("6002"))) {
        delete line;
        return {};
    }
    if (!line) {
        line = new RepairReminderLine(window->statusBar());
        window->statusBar()->addPermanentWidget(line);
    }
    line->Refresh();
    line->show();
    return line->Counts().IsEmpty() ? QString() : line->text();
}

} // namespace

void ClearReminders(TFrmMain* window)
{
    for (QWidget* notice : window->Notices()->Notices())
        notice->deleteLater();
    delete window->statusBar()->findChild<RepairReminderLine*>();
}

ExpiryNotice* RemindExpiringWarranties(TFrmMain* window)
{
    // The notice of an earlier login belongs to that login.
    for (ExpiryNotice* earlier : window->Notices()->findChildren<ExpiryNotice*>(Qt::FindDirectChildrenOnly))
        delete earlier;
    if (!window->FunctionRights())
        return nullptr;
    const QString repairs = ShowRepairReminders(window);
    QString text;
    const QString funcID = GrantedManagerFunction(*window->FunctionRights());
    if (Settings::RemindAtLogin() && !funcID.isEmpty()) {
        const int days = Settings::ExpiringDays();
        const qint64 count = WarrantyReminder::CountExpiring(QDateTime::currentDateTime(), days);
        if (count > 0)
            text = WarrantyReminder::NoticeText(count, days);
    }
    if (text.isEmpty() && repairs.isEmpty())
        return nullptr;

    // One notice: the warranties, then the open repairs.
    auto* notice = new ExpiryNotice(text, window->Notices());
    QObject::connect(notice, &ExpiryNotice::viewRequested, window, [window, funcID] {
        window->RunFunction(funcID);
        if (auto* manager = qobject_cast<TFrmSaleManage*>(window->FindOpenForm("TFrmSaleManage")))
            manager->BtnExpiringClick();
    });
    if (!repairs.isEmpty()) {
        notice->AddLine(QStringLiteral("维修：") + repairs, QStringLiteral("LblRepairNotice"));
        QObject::connect(notice, &ExpiryNotice::linkActivated, window,
                         [window](const QString& link) { RepairReminderLine::OpenLink(link, window); });
    }
    window->Notices()->AddNotice(notice);
    if (!text.isEmpty() && window->RzTrayIcon1 && window->RzTrayIcon1->isVisible())
        window->RzTrayIcon1->showMessage(Settings::SoftName(), text, QSystemTrayIcon::Information, 10000);
    return notice;
}
