#include "LoginReminder.h"

#include "ExpiryNotice.h"
#include "NoticeStrip.h"
#include "Settings.h"
#include "TFrmMain.h"
#include "TFrmSaleManage.h"
#include "TFunctions.h"
#include "WarrantyReminder.h"
#include "WarrantySettings.h"

#include <QSystemTrayIcon>

namespace {

// A function of the catalogue that opens the record manager and that the
// user has been granted; empty when there is none.
QString GrantedManagerFunction(const TFunctions& rights)
{
    const MemDataset& functions = rights.FunctionSet;
    const int control = functions.FieldIndex("ControlName");
    const int id = functions.FieldIndex("FuncID");
    for (int row = 0; row < functions.RecordCount(); ++row) {
        const QString funcID = functions.ValueAt(row, id).toString();
        if (functions.ValueAt(row, control).toString() == QLatin1String("TFrmSaleManage") &&
            rights.IsGranted(funcID))
            return funcID;
    }
    return {};
}

} // namespace

ExpiryNotice* RemindExpiringWarranties(TFrmMain* window)
{
    // The notice of an earlier login belongs to that login.
    for (ExpiryNotice* earlier : window->Notices()->findChildren<ExpiryNotice*>(Qt::FindDirectChildrenOnly))
        delete earlier;
    if (!Settings::RemindAtLogin() || !window->FunctionRights())
        return nullptr;
    const QString funcID = GrantedManagerFunction(*window->FunctionRights());
    if (funcID.isEmpty())
        return nullptr;
    const int days = Settings::ExpiringDays();
    const qint64 count = WarrantyReminder::CountExpiring(QDateTime::currentDateTime(), days);
    if (count <= 0)
        return nullptr;

    const QString text = WarrantyReminder::NoticeText(count, days);
    auto* notice = new ExpiryNotice(text, window->Notices());
    QObject::connect(notice, &ExpiryNotice::viewRequested, window, [window, funcID] {
        window->RunFunction(funcID);
        if (auto* manager = qobject_cast<TFrmSaleManage*>(window->FindOpenForm("TFrmSaleManage")))
            manager->BtnExpiringClick();
    });
    window->Notices()->AddNotice(notice);
    if (window->RzTrayIcon1 && window->RzTrayIcon1->isVisible())
        window->RzTrayIcon1->showMessage(Settings::SoftName(), text, QSystemTrayIcon::Information, 10000);
    return notice;
}
