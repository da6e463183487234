#include "link/PortMapping.h"

#include "app/SettingsStore.h"

namespace t720 {

namespace {

QString Key(int commPort) {
    return QStringLiteral("Ports/COM%1").arg(commPort);
}

}  // namespace

std::string DefaultDevicePath(int commPort) {
#ifdef Q_OS_WIN
    return "COM" + std::to_string(commPort);
#else
    return "/dev/ttyS" + std::to_string(commPort - 1);
#endif
}

std::string SerialDevicePath(int commPort) {
    auto store = OpenSettingsStore();
    const QString mapped = store->value(Key(commPort)).toString().trimmed();
    if (!mapped.isEmpty()) return mapped.toStdString();
    return DefaultDevicePath(commPort);
}

PortMap StoredPortMap(QSettings& store) {
    PortMap map;
    for (int n = 1; n <= kMaxComPort; ++n)
        map[static_cast<size_t>(n)] = store.value(Key(n)).toString().trimmed().toStdString();
    return map;
}

bool StorePortMap(QSettings& store, const PortMap& map) {
    // A format error only says that a damaged line was read and will not be
    // written back (start-up keeps a copy of such a file); the file is writable.
    if (store.status() == QSettings::AccessError || !store.isWritable()) return false;
    for (int n = 1; n <= kMaxComPort; ++n) {
        const std::string& path = map[static_cast<size_t>(n)];
        if (path.empty())
            store.remove(Key(n));
        else
            store.setValue(Key(n), QString::fromStdString(path));
    }
    SyncPrivately(store);
    return store.status() != QSettings::AccessError;
}

}  // namespace t720
