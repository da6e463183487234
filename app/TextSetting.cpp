#include "app/TextSetting.h"

#include <QFileInfo>

#include "app/SettingsStore.h"

namespace t720 {

QString StoredText(const QString& key) {
    const auto store = OpenSettingsStore();
    if (store->status() == QSettings::AccessError) return {};
    const QVariant v = store->value(key);
    // The INI format reads an unquoted text with a comma as a list; put it back.
    const QString text =
        v.typeId() == QMetaType::QStringList ? v.toStringList().join(u',') : v.toString();
    return text.trimmed();
}

std::string StoreText(const QString& key, const QString& value) {
    const auto store = OpenSettingsStore();
    const QFileInfo file(store->fileName());
    if (store->status() == QSettings::AccessError || (file.exists() && !file.isReadable()))
        return "the settings file cannot be read: " + store->fileName().toStdString();
    // Rewriting a damaged file would drop the lines it could not read.
    if (store->status() == QSettings::FormatError)
        return "the settings file is damaged: " + store->fileName().toStdString();
    if (!store->isWritable())
        return "the settings file cannot be written: " + store->fileName().toStdString();
    if (value.isEmpty())
        store->remove(key);
    else
        store->setValue(key, value);
    store->sync();
    if (store->status() != QSettings::NoError)
        return "the settings file could not be written: " + store->fileName().toStdString();
    return {};
}

}  // namespace t720
