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

TEST(UsbLibraryLoader, FindsTheOverrideThenTheProgramDirectory) {
    auto byOverride = MakeLoadedUsbCalLibrary({kGood, "/nonexistent"});
    EXPECT_TRUE(Callable(*byOverride));

    auto beside = MakeLoadedUsbCalLibrary({"", kGoodDir});
    EXPECT_TRUE(Callable(*beside));

    // An override without the entry points is passed over for the next place.
    auto fallsBack = MakeLoadedUsbCalLibrary({kNoEntry, kGoodDir});
    EXPECT_TRUE(Callable(*fallsBack));
}

TEST(UsbLibraryLoader, NoFileOrNoEntryPointMeansTheCallCannotBeMade) {
    QTemporaryDir empty;
    auto none = MakeLoadedUsbCalLibrary({"", empty.path().toStdString()});
    EXPECT_FALSE(Callable(*none));
    UsbCalLibrary::DeviceInfo info;
    EXPECT_FALSE(none->GetUSBDeviceInfo("", "", info).has_value());

    auto noEntry = MakeLoadedUsbCalLibrary({kNoEntry, kNoEntryDir});
    EXPECT_FALSE(Callable(*noEntry));

    // A relative override would depend on the current directory: ignored.
    auto relative = MakeLoadedUsbCalLibrary({"libzorusbcal.so", empty.path().toStdString()});
    EXPECT_FALSE(Callable(*relative));
}

TEST(UsbLibraryLoader, NeverLoadsFromTheCurrentDirectory) {
    QTemporaryDir empty;
    const QString before = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(QString::fromStdString(kGoodDir)));
    auto lib = MakeLoadedUsbCalLibrary({"", empty.path().toStdString()});
    const bool callable = Callable(*lib);
    QDir::setCurrent(before);
    EXPECT_FALSE(callable);
}

TEST(UsbLibraryLoader, TextsComeBackAsTheLibraryLeftThem) {
    auto lib = MakeLoadedUsbCalLibrary({kGood, ""});
    std::string id = "T720-40211";
    std::string command = "K1A 0, 5, 2, 3";
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
