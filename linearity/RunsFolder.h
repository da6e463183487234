// The folder of the run records, their history and the reports: "[Runs] Folder="
// of the settings file, which may point at a folder several stations share (a
// network share), else the user's own data folder (RunRecordDirectory).
#pragma once

#include "linearity/RunRecord.h"

#include <QString>
#include <string>

namespace t720::linearity {

inline constexpr const char* kRunsFolderKey = "Runs/Folder";

struct RunsFolder {
    QString path;
    bool configured = false;  // named in the settings file, not the default
};

// The folder as the settings file names it now.
RunsFolder CurrentRunsFolder();

// Names the folder in the settings file; an empty path goes back to the default.
// The error, "" when kept.
std::string SetRunsFolder(const QString& path);

// What keeps `folder` from taking records: "" when it is a folder we may write
// into, else "... is not there", "... is not a folder" or "... is not writable".
std::string FolderProblem(const QString& folder);

// Where a record went and what the operator should read about it.
struct RunSaved {
    QString path;      // empty when the record was kept nowhere
    std::string note;  // "Saved <path>", or where it went instead and why
};

// A path as the operator reads it: the home folder written as ~.
std::string ShownPath(const QString& path);

// Saves into the folder. A configured folder is never created: a share that is
// not mounted would otherwise fill the empty mount point of this station. When it
// cannot take the record, the record goes into the user's own folder instead and
// the note says why, so no run is lost.
RunSaved SaveRunInto(const RunsFolder& folder, const RunRecord& record);

}  // namespace t720::linearity
