// The six values in the settings file. A damaged, unreadable or unwritable file is
// drilled with the whole program (tests/drills): told, copied aside, never
// overwritten.
#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "app/StoredSettings.h"
#include "tests/support/Files.h"

namespace t720 {
namespace {

// Range, channel, sign, percent step, second port, link.
std::array<int64_t, 6> Values(const StoredProperties& p) {
    return {p.RangeIdx, p.ChannelNo, p.SignFlag, p.ProzStep, p.ComIncr, p.LinkType};
}

TEST(StoredSettings, ValuesAreReadWithDefaultsAndBroughtIntoTheirControlsRanges) {
    const std::pair<QByteArray, std::array<int64_t, 6>> cases[] = {
        {"", {1, 0, 0, 0, 0, 1}},  // no file
        // The largest values each control takes, then one more, then one less than
        // the smallest. The channel is capped later, by the channels found.
        {"[Properties]\nT720Range=6\nT720Chann=15\nT720Signe=1\nT720Proze=10\n"
         "T720COMxincr=7\nConnection=3\n",
         {6, 15, 1, 10, 7, 3}},
        {"[Properties]\nT720Range=7\nT720Chann=16\nT720Signe=128\nT720Proze=11\n"
         "T720COMxincr=8\nConnection=4\n",
         {6, 15, 1, 10, 0, 1}},
        {"[Properties]\nT720Range=0\nT720Chann=-1\nT720Signe=-1\nT720Proze=-1\n"
         "T720COMxincr=-1\nConnection=0\n",
         {1, 0, 1, 0, 0, 1}},
        {"[Properties]\nT720Range=abc\nT720Chann= 3 \nT720Proze=12\nT720COMxincr=70000\n"
         "Connection=3.0\n",
         {1, 3, 0, 10, 0, 3}},
        // Numbers that are not whole are rounded, a half to the even neighbour,
        // then brought into range; exponents and stray characters are no numbers.
        {"[Properties]\nT720Range=2.7\nT720Chann=4.5\nT720Signe= -0,4 \nT720Proze=5.5\n"
         "T720COMxincr=+2,5\nConnection=9.5\n",
         {3, 4, 0, 6, 2, 1}},
        {"[Properties]\nT720Range=1e2\nT720Chann=.\nT720Signe=1.5.\nT720Proze=,5\n"
         "T720COMxincr=6.\nConnection= - 2\n",
         {1, 0, 0, 0, 6, 1}},
    };
    for (const auto& [ini, values] : cases) {
        QTemporaryDir dir;
        const QString path = dir.filePath("ZORTorT720.ini");
        ASSERT_TRUE(ini.isEmpty() || test::WriteFile(path, ini));
        SettingsFile f(std::make_unique<QSettings>(path, QSettings::IniFormat));
        EXPECT_EQ(Values(f.Load()), values) << ini.toStdString();
        EXPECT_EQ(f.Note(), "");
    }
}

TEST(StoredSettings, SavesTheSixValuesAndKeepsOtherSections) {
    QTemporaryDir dir;
    const QString path = dir.filePath("ZORTorT720.ini");
    // A long entry before the section does not hide the six values from the check.
    ASSERT_TRUE(test::WriteFile(
        path, "[Ports]\nCOM1=/dev/ttyUSB0\nCOM9=/" + QByteArray(3 << 20, 'x') + "\n"));
    SharedState s;
    s.LinkType = 3;
    s.RangeIdx = 4;
    s.ChannelNo = 15;
    s.SignFlag = 1;
    s.ProzStep = 10;
    s.ComIncr = 7;
    EXPECT_TRUE(SettingsFile(std::make_unique<QSettings>(path, QSettings::IniFormat)).Save(s));
    QSettings check(path, QSettings::IniFormat);
    const std::pair<const char*, const char*> expected[] = {
        {"Properties/Connection", "3"}, {"Properties/T720Range", "4"},
        {"Properties/T720Chann", "15"}, {"Properties/T720Signe", "1"},
        {"Properties/T720Proze", "10"}, {"Properties/T720COMxincr", "7"},
        {"Ports/COM1", "/dev/ttyUSB0"}};
    for (const auto& [key, value] : expected) EXPECT_EQ(check.value(key).toString(), value) << key;
}

// The file decides which device the program opens: under any umask it, the copy of
// a damaged one and the folders made for them are the user's alone.
TEST(StoredSettings, TheFileItsFolderAndADamagedCopyAreTheUsersAlone) {
    QTemporaryDir dir;
    const test::ScopedUmask open(0);
    const QString folder = QFileInfo(SettingsFile().Path()).path();  // the user's own store
    EXPECT_EQ(std::pair(test::Mode(folder), test::Mode(QFileInfo(folder).path())),
              std::pair(0700, 0700));
    const QString fresh = dir.filePath("new/ZORTorT720.ini");
    EXPECT_TRUE(
        SettingsFile(std::make_unique<QSettings>(fresh, QSettings::IniFormat)).Save(SharedState{}));
    EXPECT_EQ(std::pair(test::Mode(fresh), test::Mode(dir.filePath("new"))), std::pair(0600, 0700));

    const QString damaged = dir.filePath("old/ZORTorT720.ini");
    ASSERT_TRUE(test::WriteFile(damaged, "[Properties\n\x01=\n"));  // 0666, in a 0777 folder
    SettingsFile f(std::make_unique<QSettings>(damaged, QSettings::IniFormat));
    ASSERT_NE(f.Note().find("a copy was kept as "), std::string::npos);
    EXPECT_EQ(test::Mode(QString::fromStdString(f.Note().substr(f.Note().find(" as ") + 4))), 0600);
    EXPECT_TRUE(f.Save(SharedState{}));
    EXPECT_EQ(std::pair(test::Mode(damaged), test::Mode(dir.filePath("old"))),
              std::pair(0600, 0700));
}

}  // namespace
}  // namespace t720
