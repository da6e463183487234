// The t720-bench program as the demo uses it: started with a link path and/or a
// socket, it announces itself, serves, and on SIGTERM removes its link and its
// socket and ends with status 0. The stand-in USB library reaches it from a plain
// C program that loads the library with dlopen.
#include <gtest/gtest.h>

#include <signal.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <vector>

#include "tests/sim/LinkClient.h"
#include "tests/support/ChildProcess.h"

namespace t720::sim {
namespace {

std::string StandinPath() {
    return t720::test::BuiltProgram("libzorusbcal.so");
}

// A program of the build with environment changes: "NAME=value" sets, "NAME" removes.
t720::test::ChildProcess::Options Program(std::string path, std::vector<std::string> args,
                                          const std::vector<std::string>& changes = {}) {
    t720::test::ChildProcess::Options o{std::move(path), std::move(args), {}, {}, {}};
    for (const std::string& change : changes) {
        const size_t eq = change.find('=');
        if (eq == std::string::npos)
            o.unsetEnv.push_back(change);
        else
            o.env.emplace_back(change.substr(0, eq), change.substr(eq + 1));
    }
    return o;
}

t720::test::ChildProcess::Options Bench(std::vector<std::string> args,
                                        const std::vector<std::string>& changes = {}) {
    return Program(t720::test::BuiltProgram("t720-bench"), std::move(args), changes);
}

TEST(BenchProgram, ServesTheLinkAndEndsCleanlyOnSigterm) {
    test::TempDir dir;
    const std::string link = dir / "x/cal";
    const std::string dmmLink = dir / "dmm";
    t720::test::ChildProcess bench(
        Bench({"--calibrator-link", link, "--dmm-link", dmmLink, "--divider-seed", "5"}));
    ASSERT_TRUE(bench.Started());
    const std::string banner = bench.ReadUntil("divider seed 5");
    ASSERT_NE(banner.find(link), std::string::npos) << banner;
    ASSERT_NE(banner.find(dmmLink), std::string::npos) << banner;

    // The DMM measures the taps the calibrator selected.
    test::LinkClient program(link);
    test::LinkClient dmm(dmmLink);
    ASSERT_TRUE(program.ok() && dmm.ok()) << std::strerror(program.openErrno());
    EXPECT_EQ(program.Query("K1Y  1, 10, 0, 0"), "0\r\n");  // the whole divider
    const std::string whole = dmm.Query("MEAS:VOLT:DC? 1,1E-6");
    EXPECT_NEAR(std::strtod(whole.c_str(), nullptr), 1.0, 10e-6) << whole;
    EXPECT_EQ(program.Query("K1Y  0, 4, 5, 1"), "0\r\n");
    const std::string tenth = dmm.Query("MEAS:VOLT:DC? 1,1E-6");
    EXPECT_NEAR(std::strtod(tenth.c_str(), nullptr), 0.1, 50e-6) << tenth;

    bench.Signal(SIGTERM);
    EXPECT_EQ(bench.Wait(), 0);
    for (const std::string& path : {link, dmmLink})
        EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(path))) << path;
}

TEST(BenchProgram, UsageErrorsEndWithStatusTwo) {
    const std::vector<std::vector<std::string>> wrong = {
        {"--calibrator-link", "/nonexistent/cal", "--no-such-option"},
        {"--dmm-link", "/nonexistent/dmm"},  // a DMM, but no calibrator to measure
        {"--socket", "/nonexistent/s", "--usb"},
        {"--usb", "--dmm-garbage-after", "x"},
        {"--calibrator-link", "/nonexistent/cal", "--dmm-link", "/nonexistent/cal"},
    };
    for (const auto& args : wrong) {
        t720::test::ChildProcess bench(Bench(args));
        ASSERT_TRUE(bench.Started());
        EXPECT_EQ(bench.Wait(), 2) << args[0] << " " << args[1] << " " << args[2];
    }
}

// The probe's report (see standin_probe.c) and its exit status.
struct ProbeRun {
    std::string output;
    std::optional<int> status;
};

ProbeRun RunProbe(const std::vector<std::string>& env) {
    t720::test::ChildProcess probe(Program(T720_STANDIN_PROBE, {StandinPath()}, env));
    if (!probe.Started()) return {};
    std::string output = probe.ReadAll();
    return {output, probe.Wait()};
}

TEST(BenchProgram, TheStandinLibraryReachesTheBenchOnItsSocket) {
    test::TempDir dir;
    const std::string socket = dir / "usb.sock";
    const std::string link = dir / "cal";
    t720::test::ChildProcess bench(
        Bench({"--socket", socket, "--calibrator-link", link, "--serial", "T720-9"}));
    ASSERT_TRUE(bench.Started());
    const std::string banner = bench.ReadUntil("socket");
    ASSERT_NE(banner.find(socket), std::string::npos) << banner;

    const ProbeRun found = RunProbe({"T720_BENCH_SOCKET=" + socket});
    EXPECT_EQ(found.status, 0) << found.output;
    EXPECT_NE(found.output.find("init 0\n"), std::string::npos) << found.output;
    EXPECT_NE(found.output.find("info 0 serial \"T720-9\" 6 ident \"T720S09 V2.01\" 13\n"),
              std::string::npos)
        << found.output;
    EXPECT_NE(found.output.find("command 0 answer \"0\" count 1\n"), std::string::npos)
        << found.output;
    // The same calibrator answers on its pty meanwhile.
    test::LinkClient program(link);
    ASSERT_TRUE(program.ok());
    EXPECT_EQ(program.Query("K1A 0, 5, 2, 3"), "0\r\n");

    bench.Signal(SIGTERM);
    EXPECT_EQ(bench.Wait(), 0);
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(socket)));

    // No bench: the library still loads and answers, with a negative status.
    const ProbeRun absent = RunProbe({"T720_BENCH_SOCKET=" + socket});
    EXPECT_EQ(absent.status, 1) << absent.output;
    EXPECT_NE(absent.output.find("init 0\n"), std::string::npos) << absent.output;
    EXPECT_NE(absent.output.find("info -2 serial \"\" 0"), std::string::npos) << absent.output;
    // The command text does not pass for an answer.
    EXPECT_NE(absent.output.find("answer \"\" count 0\n"), std::string::npos) << absent.output;
}

TEST(BenchProgram, WithoutANamedSocketBothSidesMeetOnThePerUserPath) {
    test::TempDir runtime;
    const std::string env = "XDG_RUNTIME_DIR=" + runtime.path();
    t720::test::ChildProcess bench(Bench({"--usb", "--usb-cp"}, {env}));
    ASSERT_TRUE(bench.Started());
    const std::string banner = bench.ReadUntil("socket");
    ASSERT_NE(banner.find(runtime / "t720-bench.sock"), std::string::npos) << banner;

    const ProbeRun probe = RunProbe({env, "T720_BENCH_SOCKET"});
    EXPECT_EQ(probe.status, 0) << probe.output;
    EXPECT_NE(probe.output.find("serial \"CPT720-40211\""), std::string::npos) << probe.output;
    bench.Signal(SIGTERM);
    EXPECT_EQ(bench.Wait(), 0);
}

}  // namespace
}  // namespace t720::sim
