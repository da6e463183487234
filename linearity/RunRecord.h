// Run records: the readings of a linearity run kept on disk, so that a run nobody
// copied by hand is not lost and can be evaluated again later.
//
// A record is UTF-8 CSV: comment lines beginning with "#" (program version, UTC
// time, the calibrator's serial number and identification, the DMM port), the
// header "row,dmm_reading1_V,dmm_reading2_V", then the rows 1..20 as
// "row,reading1,reading2": the DMM's readings as it gave them, with "." as decimal
// point and the shortest digits that read back to the same double. Records of
// earlier versions (header "row,reading1_V,reading2_V") hold the readings as
// floats; they read as those floats.
#pragma once

#include <QString>
#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace t720::linearity {

inline constexpr size_t kRecordMaxBytes = 1024 * 1024;
inline constexpr size_t kRecordMaxLineBytes = 4096;

struct RunRecord {
    std::string programVersion;
    std::string utcTime;  // ISO 8601, "2024-05-03T14:07:09Z"
    std::string serialNumber;
    std::string identification;
    std::string dmmPort;
    std::array<double, 21> reading1{};  // volts, rows 1..20
    std::array<double, 21> reading2{};
};

// A record of the readings of a run that has just ended: this program's version
// and the current UTC time filled in.
RunRecord RecordNow(const std::array<double, 22>& reading1, const std::array<double, 22>& reading2,
                    std::string serialNumber, std::string identification, std::string dmmPort);

std::string RunRecordText(const RunRecord& record);

// The record, or a message naming the line at fault ("line 7: ...").
struct RecordParse {
    std::optional<RunRecord> record;
    std::string error;
};
RecordParse ParseRunRecord(std::string_view text);
RecordParse ReadRunRecord(const QString& path);

// Where the program keeps its records: <generic data location>/ZORTorT720/runs.
QString RunRecordDirectory();

// "20240503T140709Z_SN1234.csv": UTC time and serial number, the serial number
// reduced to [A-Za-z0-9._-] (anything else becomes "_").
QString RunRecordFileName(const RunRecord& record);

// Writes the record atomically into `directory` (created if need be), never over
// an existing file; others may read it, never write it. Returns the path written,
// or the error.
struct RecordSave {
    QString path;
    std::string error;
    bool ok() const { return error.empty(); }
};
RecordSave SaveRunRecord(const QString& directory, const RunRecord& record);

}  // namespace t720::linearity
