// The per-user settings store: an INI file in the user's configuration directory
// ($XDG_CONFIG_HOME/ZORTorT720/ZORTorT720.ini on Linux), organisation and
// application "ZORTorT720".
#pragma once

#include <QSettings>
#include <memory>

namespace t720 {

inline constexpr const char* kSettingsName = "ZORTorT720";

std::unique_ptr<QSettings> OpenSettingsStore();

// Writes the store to its file, which is this user's alone whatever the umask: the
// file 0600 and the folders made for it 0700 (its [Ports] decide which device the
// program opens).
void SyncPrivately(QSettings& store);

}  // namespace t720
