// The t720-bench program as the demo starts it: with a socket and two link paths,
// it announces them, serves, and on SIGTERM removes them and ends with status 0.
// The stand-in USB library reaches it from a plain C program that loads the
// library with dlopen (standin_probe.c).
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "tests/sim/LinkClient.h"
#include "sim/ChildProcess.h"

namespace t720::sim {
namespace {

TEST(BenchProgram, ServesTheDemoAndEndsCleanlyOnSigterm) {
    test::TempDir dir;
    const std::string socket = dir / "usb.sock", link = dir / "x/cal", dmmLink = dir / "dmm";
    ChildProcess bench({BuiltProgram("t720-bench"),
                        {"--socket", socket, "--calibrator-link", link, "--dmm-link", dmmLink,
                         "--serial", "T720-9"},
                        {},
                        {},
                        {}});
    ASSERT_TRUE(bench.Started());
    const std::string banner = bench.ReadUntil("divider seed");
    for (const std::string& path : {socket, link, dmmLink})
        ASSERT_NE(banner.find(path), std::string::npos) << banner;

    // The probe exits with 0 when it found the calibrator and "K1A 0, 5, 2, 3" was
    // answered.
    ChildProcess probe({T720_STANDIN_PROBE,
                        {BuiltProgram("libzorusbcal.so")},
                        {{"T720_BENCH_SOCKET", socket}},
                        {},
                        {}});
    const std::string found = probe.ReadAll();
    EXPECT_EQ(probe.Wait(), 0) << found;
    EXPECT_NE(found.find("info 0 serial \"T720-9\" 6 ident \"T720S09 V2.01\" 13\n"),
              std::string::npos)
        << found;

    // The same calibrator on its pty; the DMM measures the taps it selected.
    test::LinkClient program(link), dmm(dmmLink);
    ASSERT_TRUE(program.ok() && dmm.ok());
    EXPECT_EQ(program.Query("K1Y  1, 10, 0, 0"), "0\r\n");  // the whole divider
    const std::string whole = dmm.Query("MEAS:VOLT:DC? 1,1E-6");
    EXPECT_NEAR(std::strtod(whole.c_str(), nullptr), 1.0, 10e-6) << whole;

    bench.Signal(SIGTERM);
    EXPECT_EQ(bench.Wait(), 0);
    for (const std::string& path : {socket, link, dmmLink})
        EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(path))) << path;
}

// Another user's bench is never the one the stand-in talks to: its folder at the
// default path is refused, and at a path that it took first the stand-in sees
// whose bench answers and hangs up.
TEST(BenchProgram, AnotherUsersBenchIsNeverTalkedTo) {
    if (getuid() != 0) GTEST_SKIP() << "a process of another user can be made only as root";
    test::TempDir dir;
    const std::string theirs = dir / "t720-bench";
    ASSERT_EQ(mkdir(theirs.c_str(), 0700), 0);
    ASSERT_EQ(chown(theirs.c_str(), 65534, 65534), 0);
    ChildProcess refused({BuiltProgram("t720-bench"),
                          {"--usb"},
                          {{"XDG_RUNTIME_DIR", dir.path().toStdString()}}});
    EXPECT_EQ(refused.ReadAll(), "t720-bench: " + theirs + " belongs to another user\n");
    EXPECT_EQ(refused.Wait(), 1);

    chmod(dir.path().toLocal8Bit(), 0711);
    const std::string socket = theirs + "/usb.sock";
    ChildProcess bench({"/usr/bin/setpriv",
                        {"--reuid=65534", "--regid=65534", "--clear-groups",
                         BuiltProgram("t720-bench"), "--socket", socket}});
    ASSERT_NE(bench.ReadUntil("faults:"), "") << bench.Output();
    ChildProcess probe({T720_STANDIN_PROBE,
                        {BuiltProgram("libzorusbcal.so")},
                        {{"T720_BENCH_SOCKET", socket}}});
    const std::string found = probe.ReadAll();
    EXPECT_EQ(probe.Wait(), 1) << found;
    EXPECT_NE(found.find("info -2 serial \"\""), std::string::npos) << found;
}

}  // namespace
}  // namespace t720::sim
