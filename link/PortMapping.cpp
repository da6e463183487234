#include "link/PortMapping.h"

#include "app/SettingsStore.h"

namespace t720 {

std::string SerialDevicePath(int commPort) {
    auto store = OpenSettingsStore();
    const QString key = QStringLiteral("Ports/COM%1").arg(commPort);
    const QString mapped = store->value(key).toString().trimmed();
    if (!mapped.isEmpty()) return mapped.toStdString();
#ifdef Q_OS_WIN
    return "COM" + std::to_string(commPort);
#else
    return "/dev/ttyS" + std::to_string(commPort - 1);
#endif
}

}  // namespace t720
