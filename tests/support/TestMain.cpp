// Test main: a private configuration, data, state and runtime directory per test process,
// so tests never read or write the user's settings, then a (Core)Application,
// which serial ports and widgets need.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTemporaryDir>
#include <cstdlib>

#ifdef T720_TEST_WIDGETS
#include <QApplication>
using TestApplication = QApplication;
#else
using TestApplication = QCoreApplication;
#endif

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    QTemporaryDir home;
    const QByteArray base = home.path().toLocal8Bit();
    setenv("XDG_CONFIG_HOME", (base + "/config").constData(), 1);
    setenv("XDG_DATA_HOME", (base + "/data").constData(), 1);
    setenv("XDG_RUNTIME_DIR", base.constData(), 1);  // the control socket's place; 0700
    setenv("XDG_STATE_HOME", (base + "/state").constData(), 1);
    if (!getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    TestApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
