// The history of a records folder: every run record in it, newest first, with
// what the operator picks a run by. A record that cannot be read is listed with
// its error, never left out.
#pragma once

#include "linearity/RunComparison.h"

#include <QString>
#include <optional>
#include <string>
#include <vector>

namespace t720::linearity {

struct HistoryEntry {
    QString path;
    QString fileName;
    std::string utcTime;    // ISO 8601 from the record, else from its file name; may be empty
    std::string localTime;  // "2024-05-03 16:07:09" in this computer's time zone
    std::string serialNumber;
    std::optional<CurveExtremes> deviation;  // of the curve without shunts, ppm
    bool reportMade = false;                 // notes of a report lie beside it
    std::string error;                       // why the record cannot be read
};

struct History {
    std::vector<HistoryEntry> entries;
    std::string error;  // the folder cannot be listed
};

// Whether the history filtered by `serialNumber` ("" for all) lists the entry: a
// record that cannot be read always is.
bool Listed(const HistoryEntry& entry, const std::string& serialNumber);

// Every "*.csv" of the folder (not its subfolders). With a serial number, only
// the records of that calibrator and those that cannot be read.
History ListRuns(const QString& folder, const std::string& serialNumber = {});

// "2024-05-03 16:07:09" for "2024-05-03T14:07:09Z" in Central Europe; "" when the
// text is no UTC time.
std::string LocalTimeText(const std::string& utcTime);

// The listing for a terminal: one line per record (local time, serial number,
// largest and smallest deviation, "report" or "-", file name, any error), with
// the user's decimal separator.
std::string HistoryText(const History& history);

// The same as one JSON array of objects (numbers with ".", null where unknown).
std::string HistoryJson(const History& history);

}  // namespace t720::linearity
