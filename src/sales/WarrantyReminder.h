#pragma once

#include <QDateTime>
#include <QString>

// The reminder of warranties about to end, shown after a login: how many
// records fall under the expiring-soon filter, and the words of the notice.
namespace WarrantyReminder {

// The number of records whose warranty has not ended at `now` and ends
// within `days` days; -1 with the database's message when it cannot be read.
qint64 CountExpiring(const QDateTime& now, int days, QString* error = nullptr);

// "有 [n] 位客户的保修将在 [N] 天内到期"
QString NoticeText(qint64 count, int days);

} // namespace WarrantyReminder
