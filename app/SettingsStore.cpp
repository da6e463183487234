#include "app/SettingsStore.h"

namespace t720 {

std::unique_ptr<QSettings> OpenSettingsStore() {
    return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope, kSettingsName,
                                       kSettingsName);
}

}  // namespace t720
