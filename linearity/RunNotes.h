// What a report of a run needs beyond the run's record, kept beside the record
// (which stays as the run wrote it): the operator, the DMM used, a note, the
// shunts chosen when the report was made, the earlier run taken as "as found",
// and when the last report was made. So the same report can be made again later.
//
// "<record name without .csv>.notes", UTF-8 lines "key: value" after a comment
// line; a value's line ends and backslashes are written as "\n" and "\\".
#pragma once

#include "linearity/Evaluate.h"

#include <QString>
#include <optional>
#include <string>
#include <string_view>

namespace t720::linearity {

inline constexpr size_t kNotesMaxBytes = 64 * 1024;
// A note is cut to this many bytes (a UTF-8 sequence is never split).
inline constexpr size_t kNoteMaxBytes = 4000;
// Operator and DMM: one line each, at most this many bytes.
inline constexpr size_t kNameMaxBytes = 200;

struct RunNotes {
    std::string operatorName;
    std::string dmm;  // asset or serial number of the meter, as the operator gave it
    std::string note;
    RowShunts shunts{};       // the shunt choice of each grid row 1..20
    std::string asFound;      // file name of the earlier record, in the same folder
    std::string reportUtc;    // ISO 8601; empty: no report made
    std::string reportFile;   // where that report was written
};

// The notes of the record at `recordPath`: "X.csv" keeps them in "X.notes".
QString RunNotesPath(const QString& recordPath);

// Cuts operator, DMM and note to their limits and to what a file of notes holds.
RunNotes Tidied(RunNotes notes);

std::string RunNotesText(const RunNotes& notes);

// Unknown keys are passed over, so a later version's notes still read.
struct NotesParse {
    std::optional<RunNotes> notes;
    std::string error;  // "line 3: ..." when the text is not notes
};
NotesParse ParseRunNotes(std::string_view text);

// No notes beside the record is not an error: notes and error both empty.
NotesParse ReadRunNotes(const QString& recordPath);

// Writes the notes atomically beside the record (never the record itself). The
// error, "" when written.
std::string SaveRunNotes(const QString& recordPath, const RunNotes& notes);

}  // namespace t720::linearity
