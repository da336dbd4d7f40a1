#pragma once

#include "ReportModel.h"

#include <QByteArray>

// The report file (.rmp): a prepared report in our own binary format.
//
//   8 bytes   magic "WBRMP\r\n\x1a" (the CR LF and ^Z catch text-mode transfers)
//   quint16   format version
//   quint32   payload length
//   32 bytes  SHA-256 of the payload
//   payload   QDataStream (Qt 6.4, big endian): page setup, title, pages of primitives
//
// A file that is foreign, newer, truncated or damaged is refused as a whole;
// so is one holding a text longer than any printed line (damaged).
namespace Report {

// Version 2 adds the QR code primitive, version 3 colours and the areas,
// lines and slices of charts; files of older versions still open.
inline constexpr quint16 kReportFileVersion = 3;

// `version` below the current one writes that older layout (without the
// colours and chart shapes), for a program of an earlier version.
QByteArray SerializeReport(const PreparedReport& report, quint16 version = kReportFileVersion);
// On failure returns false, sets error to a message naming fileName and leaves report untouched.
bool DeserializeReport(const QByteArray& data, const QString& fileName, PreparedReport* report,
                       QString* error);

// Written through a temporary file, so a failed save keeps the previous file.
bool SaveReportFile(const QString& fileName, const PreparedReport& report, QString* error);
bool LoadReportFile(const QString& fileName, PreparedReport* report, QString* error);

} // namespace Report
