// Text settings outside "Properties", such as "[Runs] Folder=", read from and
// written to the per-user settings file (SettingsStore.h) as the operator would
// edit them by hand.
#pragma once

#include <QString>
#include <string>

namespace t720 {

// The text of "Section/Key", blanks around it dropped; "" when missing or when
// the file cannot be read.
QString StoredText(const QString& key);

// Writes "Section/Key" (an empty value removes the key). The error, "" when it is
// kept. An unreadable settings file is never rewritten: we cannot see what else
// it holds.
std::string StoreText(const QString& key, const QString& value);

}  // namespace t720
