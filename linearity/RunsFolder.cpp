#include "linearity/RunsFolder.h"

#include "app/TextSetting.h"

#include <QDir>
#include <QFileInfo>

namespace t720::linearity {

RunsFolder CurrentRunsFolder() {
    const QString configured = StoredText(kRunsFolderKey);
    if (configured.isEmpty()) return {RunRecordDirectory(), false};
    return {QDir::cleanPath(QDir::fromNativeSeparators(configured)), true};
}

std::string SetRunsFolder(const QString& path) {
    return StoreText(kRunsFolderKey, path.isEmpty() ? QString() : QDir::cleanPath(path));
}

std::string FolderProblem(const QString& folder) {
    const QFileInfo info(folder);
    const std::string name = QDir::toNativeSeparators(folder).toStdString();
    if (!info.exists()) return name + " is not there";
    if (!info.isDir()) return name + " is not a folder";
    if (!info.isWritable()) return name + " is not writable";
    return {};
}

std::string ShownPath(const QString& path) {
    QString shown = QDir::toNativeSeparators(path);
    const QString home = QDir::toNativeSeparators(QDir::homePath()) + QDir::separator();
    if (shown.startsWith(home)) shown = "~" + shown.mid(home.size() - 1);
    return shown.toStdString();
}

RunSaved SaveRunInto(const RunsFolder& folder, const RunRecord& record) {
    std::string why;
    if (folder.configured) why = FolderProblem(folder.path);
    if (why.empty()) {
        const RecordSave saved = SaveRunRecord(folder.path, record);
        if (saved.ok()) return {saved.path, "Saved " + ShownPath(saved.path)};
        why = saved.error;
        if (!folder.configured) return {{}, "Run record not saved: " + why};
    }
    const RecordSave local = SaveRunRecord(RunRecordDirectory(), record);
    if (!local.ok()) return {{}, "Run record not saved: " + why + "; " + local.error};
    return {local.path, "Not saved in the runs folder (" + why + "); saved in " +
                            QDir::toNativeSeparators(local.path).toStdString()};
}

}  // namespace t720::linearity
