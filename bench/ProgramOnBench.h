// The program (build/bin/t720) as a process of its own, offscreen, on the USB link
// against a bench on a private socket; its settings, data and runtime directory
// under `dir`. The bench answers at once, so what is measured is the program.
#pragma once

#include <QDir>
#include <QTemporaryDir>

#include "sim/BenchServer.h"
#include "tests/support/ChildProcess.h"

namespace t720::bench {

class ProgramOnBench {
  public:
    explicit ProgramOnBench(const QTemporaryDir& dir)
        : bench(UsbBench(dir)), program(StartBenchThenProgram(dir)) {}

    sim::BenchServer bench;
    test::ChildProcess program;  // started as this is made

  private:
    static sim::BenchOptions UsbBench(const QTemporaryDir& dir) {
        sim::BenchOptions options;
        options.usbSocket = dir.filePath("bench.sock").toStdString();
        return options;
    }
    test::ChildProcess::Options StartBenchThenProgram(const QTemporaryDir& dir) {
        bench.Start();
        QDir().mkpath(dir.filePath("config/ZORTorT720"));
        auto env = test::ProgramEnv(dir.path().toStdString());
        env.emplace_back("T720_BENCH_SOCKET", bench.usbSocket());
        return {test::BuiltProgram("t720"), {}, env, {}};
    }
};

}  // namespace t720::bench
