#pragma once

#include <QObject>

// What the customer entry dialogs tell the windows that list sale records.
// Each dialog announces here, not to a window it knows of: the record
// manager opens the shared dialog, the menu opens dialogs of its own, and
// whichever of them closes, an open manager reads its rows again.
class SaleEntryEvents : public QObject
{
    Q_OBJECT
public:
    static SaleEntryEvents* Instance();

signals:
    // An entry dialog closed, however: records may have been added or changed.
    void entryClosed();
    // A repair visit was saved, moved to another state or stamped as called:
    // the lists of visits, the reminders and the marks of machines in the
    // shop are read again.
    void repairsChanged();
};
