// The settings file as the program reads it at start-up: arbitrary INI text.
#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <cstdlib>

#include "app/StoredSettings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static int argc = 1;
    static char name[] = "fuzz_settings";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    static QTemporaryDir dir;

    const QString path = dir.filePath("ZORTorT720.ini");
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) return 0;
        f.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size));
    }
    t720::SettingsFile file(std::make_unique<QSettings>(path, QSettings::IniFormat));
    const t720::StoredProperties p = file.Load();
    if (p.RangeIdx < 1 || p.RangeIdx > 6 || p.ChannelNo < 0 || p.ChannelNo > 15 ||
        (p.SignFlag != 0 && p.SignFlag != 1) || p.ProzStep < 0 || p.ProzStep > 10 ||
        p.ComIncr < 0 || p.ComIncr > 7 || p.LinkType < 1 || p.LinkType > 3)
        std::abort();
    t720::StoredWholeNumber(
        QString::fromLatin1(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)),
        INT32_MIN, INT32_MAX);
    QDir(dir.path()).removeRecursively();  // and any backup copies of damaged files
    QDir().mkpath(dir.path());
    return 0;
}
