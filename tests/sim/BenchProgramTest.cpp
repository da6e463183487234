// The t720-bench program as the demo starts it: with a socket and two link paths,
// it announces them, serves, and on SIGTERM removes them and ends with status 0.
// The stand-in USB library reaches it from a plain C program that loads the
// library with dlopen (standin_probe.c).
#include <gtest/gtest.h>

#include <signal.h>

#include <cstdlib>
#include <filesystem>

#include "tests/sim/LinkClient.h"
#include "tests/support/ChildProcess.h"

namespace t720::sim {
namespace {

using t720::test::ChildProcess;

TEST(BenchProgram, ServesTheDemoAndEndsCleanlyOnSigterm) {
    test::TempDir dir;
    const std::string socket = dir / "usb.sock", link = dir / "x/cal", dmmLink = dir / "dmm";
    ChildProcess bench({t720::test::BuiltProgram("t720-bench"),
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
                        {t720::test::BuiltProgram("libzorusbcal.so")},
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

}  // namespace
}  // namespace t720::sim
