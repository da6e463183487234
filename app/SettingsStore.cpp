#include "app/SettingsStore.h"

#include <fcntl.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>

#include "app/PrivateFiles.h"

namespace t720 {

std::unique_ptr<QSettings> OpenSettingsStore() {
    auto store = std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                             kSettingsName, kSettingsName);
    // Asked whether it can write, the store makes the missing folders as the umask
    // says: make them first, for this user alone.
    MakeFolders(QFile::encodeName(QFileInfo(store->fileName()).path()).toStdString(), 0700);
    return store;
}

void SyncPrivately(QSettings& store) {
    const QString path = store.fileName();
    // The store makes missing folders as the umask says and a new file 0666 less
    // the umask, but keeps the mode of a file that is there: so make them first.
    if (MakeFolders(QFile::encodeName(QFileInfo(path).path()).toStdString(), 0700).empty()) {
        const int fd = open(QFile::encodeName(path).constData(),
                            O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd >= 0) close(fd);
    }
    // A file made looser by an earlier program (or by hand) is closed to others
    // before the store copies its mode.
    KeepPrivate(path);
    store.sync();
}

}  // namespace t720
