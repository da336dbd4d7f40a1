#pragma once

#include <QString>

class QWidget;

// The first start of an installed program finds no database in the user's
// data folder.  Instead of only saying so, it asks whether to create an empty
// database (a shop starting for real) or a demo one (to look around first),
// saying where the file will be, and creates it with the built-in
// configuration.
enum class FirstStartResult { Created, Declined, Failed };
FirstStartResult OfferNewDatabase(const QString& databaseFile, QWidget* parent = nullptr);
