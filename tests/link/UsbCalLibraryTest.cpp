// The loader against real library files built for the test.
#include <gtest/gtest.h>

#include <unistd.h>
#include <QDir>
#include <QTemporaryDir>

#include "link/UsbCalLibrary.h"

namespace t720 {
namespace {

const std::string kGoodDir = T720_USBCAL_GOOD_DIR;
const std::string kNoEntryDir = T720_USBCAL_NOENTRY_DIR;
const std::string kGood = kGoodDir + "/libzorusbcal.so";
const std::string kNoEntry = kNoEntryDir + "/libzorusbcal.so";

bool Callable(UsbCalLibrary& lib) {
    std::string id, command;
    int32_t count = 0;
    return lib.CalCommand(-1, id, command, count).has_value();
}

TEST(UsbLibraryLoader, FindsTheOverrideThenTheProgramDirectoryButNeverTheCurrentOne) {
    const std::string empty = QTemporaryDir().path().toStdString();  // gone: nothing there
    struct Case {
        std::string override, dir;
        bool callable;
    };
    const Case cases[] = {
        {kGood, "/nonexistent", true},
        {"", kGoodDir, true},
        {kNoEntry, kGoodDir, true},  // an override without the entry points is passed over
        {"", empty, false},
        {kNoEntry, kNoEntryDir, false},
        {"libzorusbcal.so", empty, false},  // relative: it would depend on the current directory
    };
    const QString before = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(QString::fromStdString(kGoodDir)));
    for (const Case& c : cases) {
        auto lib = MakeLoadedUsbCalLibrary({c.override, c.dir});
        EXPECT_EQ(Callable(*lib), c.callable) << c.override << " " << c.dir;
        UsbCalLibrary::DeviceInfo info;
        EXPECT_EQ(lib->GetUSBDeviceInfo("", "", info).has_value(), c.callable);
    }
    QDir::setCurrent(before);
}

TEST(UsbLibraryLoader, TextsComeBackAsTheLibraryLeftThem) {
    auto lib = MakeLoadedUsbCalLibrary({kGood, ""});
    std::string id = "T720-40211";
    std::string command = "SNR?0";
    int32_t count = 4;
    ASSERT_EQ(lib->CalCommand(0, id, command, count), 0);
    EXPECT_EQ(command, "0");
    EXPECT_EQ(id, "FROM-LIB");
    EXPECT_EQ(count, 5);

    command = "LONG";
    ASSERT_EQ(lib->CalCommand(0, id, command, count), 0);
    EXPECT_EQ(command, std::string(255, 'A'));
}

TEST(UsbLibraryLoader, DeviceInfoIsCutToTheLengthsAndNullMeansEmpty) {
    auto lib = MakeLoadedUsbCalLibrary({kGood, ""});
    UsbCalLibrary::DeviceInfo info;
    ASSERT_EQ(lib->GetUSBDeviceInfo("2", "ABC", info), 0);
    EXPECT_EQ(info.serial, "2|SER");  // the /DEV= prefix went in first
    EXPECT_EQ(info.text2, "");        // "(null)"
    EXPECT_EQ(info.ident, "ABC|ID");  // one character less, as its length said
    EXPECT_EQ(info.n1, 7);
    // The serial buffer had room for the prefix and 200 NULs, and at least 255.
    EXPECT_GE(std::stoi(info.text3), 255);

    ASSERT_EQ(lib->GetUSBDeviceInfo("", "", info), 0);
    EXPECT_EQ(info.serial, "|SER");
    EXPECT_EQ(info.ident, "|ID");
}

}  // namespace
}  // namespace t720
