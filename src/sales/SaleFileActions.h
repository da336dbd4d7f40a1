#pragma once

#include "SaleRecord.h"

class QWidget;

// The record manager's file work with its dialogs: the file dialog, the
// progress with cancel, the import preview and the closing message.
namespace SaleFileActions {

// Exports every record matching `condition` to a file the user chooses
// (.xlsx, or CSV).  true when the file was written.
bool ExportList(QWidget* parent, const SaleRecord::Condition& condition);
// Imports a file the user chooses after showing its preview; the number of
// records written.
qint64 ImportFile(QWidget* parent);
// Copies the expired records of ordinary customers to BackUp/ and then
// deletes them (the caller has asked).  true when records were deleted.
bool PurgeExpired(QWidget* parent);

} // namespace SaleFileActions
