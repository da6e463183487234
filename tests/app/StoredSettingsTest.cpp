#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "app/StoredSettings.h"

namespace t720 {
namespace {

class StoredSettingsTest : public ::testing::Test {
  protected:
    QString Ini(const QByteArray& content) {
        const QString path = dir.filePath("ZORTorT720.ini");
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(content);
        f.close();
        return path;
    }
    SettingsFile Open(const QString& path) {
        return SettingsFile(std::make_unique<QSettings>(path, QSettings::IniFormat));
    }
    QTemporaryDir dir;
};

TEST_F(StoredSettingsTest, NoStoreGivesTheDefaults) {
    SettingsFile f = Open(dir.filePath("none.ini"));
    const StoredProperties p = f.Load();
    EXPECT_EQ(p.LinkType, 1);
    EXPECT_EQ(p.RangeIdx, 1);
    EXPECT_EQ(p.ChannelNo, 0);
    EXPECT_EQ(p.SignFlag, 0);
    EXPECT_EQ(p.ProzStep, 0);
    EXPECT_EQ(p.ComIncr, 0);
    EXPECT_EQ(f.Note(), "");
}

TEST_F(StoredSettingsTest, ValuesAreReadAndBroughtIntoTheirControlsRanges) {
    SettingsFile f =
        Open(Ini("[Properties]\nT720Range=9\nT720Chann=12\nT720Signe=128\n"
                 "T720Proze=-3\nT720COMxincr=5\nConnection=7\n"));
    const StoredProperties p = f.Load();
    EXPECT_EQ(p.RangeIdx, 6);
    EXPECT_EQ(p.ChannelNo, 12);  // the panel caps it by the channels found
    EXPECT_EQ(p.SignFlag, 1);
    EXPECT_EQ(p.ProzStep, 0);
    EXPECT_EQ(p.ComIncr, 5);
    EXPECT_EQ(p.LinkType, 1);

    SettingsFile g =
        Open(Ini("[Properties]\nT720Range=abc\nT720Chann= 3 \nT720Proze=12\n"
                 "T720COMxincr=70000\nConnection=3.0\n"));
    const StoredProperties q = g.Load();
    EXPECT_EQ(q.RangeIdx, 1);
    EXPECT_EQ(q.ChannelNo, 3);
    EXPECT_EQ(q.ProzStep, 10);
    EXPECT_EQ(q.ComIncr, 0);
    EXPECT_EQ(q.LinkType, 1);
}

TEST_F(StoredSettingsTest, SavesTheSixValuesAndKeepsOtherSections) {
    const QString path = Ini("[Ports]\nCOM1=/dev/ttyUSB0\n");
    SharedState s;
    s.LinkType = 3;
    s.RangeIdx = 4;
    s.ChannelNo = 15;
    s.SignFlag = 1;
    s.ProzStep = 10;
    s.ComIncr = 7;
    {
        SettingsFile f = Open(path);
        EXPECT_TRUE(f.Save(s));
    }
    QSettings check(path, QSettings::IniFormat);
    EXPECT_EQ(check.value("Properties/Connection").toString(), "3");
    EXPECT_EQ(check.value("Properties/T720Range").toString(), "4");
    EXPECT_EQ(check.value("Properties/T720Chann").toString(), "15");
    EXPECT_EQ(check.value("Properties/T720Signe").toString(), "1");
    EXPECT_EQ(check.value("Properties/T720Proze").toString(), "10");
    EXPECT_EQ(check.value("Properties/T720COMxincr").toString(), "7");
    EXPECT_EQ(check.value("Ports/COM1").toString(), "/dev/ttyUSB0");
}

TEST_F(StoredSettingsTest, ADamagedFileIsCopiedAsideBeforeItIsRewritten) {
    const QByteArray damaged = "[Properties\nT720Range=3\n\x01garbage\n[Ports]\nCOM1=/dev/x\n";
    const QString path = Ini(damaged);
    SettingsFile f = Open(path);
    EXPECT_NE(f.Note().find("damaged"), std::string::npos);
    EXPECT_TRUE(f.Save(SharedState{}));
    const QStringList copies = QDir(dir.path()).entryList({"ZORTorT720.ini.damaged-*"});
    ASSERT_EQ(copies.size(), 1);
    QFile copy(dir.filePath(copies[0]));
    copy.open(QIODevice::ReadOnly);
    EXPECT_EQ(copy.readAll(), damaged);
}

TEST_F(StoredSettingsTest, AnUnreadableStoreIsNeverWrittenOver) {
    // A store that cannot be read (here: a directory where the file should be; for
    // an operator, usually a file without read permission) gives the defaults, and
    // nothing replaces what it may hold.
    QDir(dir.path()).mkdir("ZORTorT720.ini");
    SettingsFile f = Open(dir.filePath("ZORTorT720.ini"));
    EXPECT_EQ(f.Load().LinkType, 1);
    EXPECT_NE(f.Note().find("cannot be read"), std::string::npos);
    EXPECT_FALSE(f.Save(SharedState{}));
    EXPECT_TRUE(QFileInfo(dir.filePath("ZORTorT720.ini")).isDir());
}

TEST_F(StoredSettingsTest, ASaveThatCannotBeWrittenIsReported) {
    Ini("not a directory");
    SettingsFile f = Open(dir.filePath("ZORTorT720.ini/inside.ini"));
    EXPECT_FALSE(f.Save(SharedState{}));
}

}  // namespace
}  // namespace t720
