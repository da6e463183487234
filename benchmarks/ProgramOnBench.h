// The program (build/bin/t720) as a process of its own, offscreen, on the USB link
// against a bench on a private socket; its settings, data and runtime directory
// under `dir`. The bench answers at once, so what is measured is the program.
// `env` replaces or adds entries of the program's environment (another platform).
#pragma once

#include <QDir>
#include <QTemporaryDir>
#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "sim/BenchServer.h"
#include "sim/ChildProcess.h"

namespace t720::benchmarks {

class ProgramOnBench {
  public:
    using Env = std::vector<std::pair<std::string, std::string>>;

    explicit ProgramOnBench(const QTemporaryDir& dir, Env env = {})
        : bench(UsbBench(dir)), program(StartBenchThenProgram(dir, std::move(env))) {}

    sim::BenchServer bench;
    sim::ChildProcess program;  // started as this is made

  private:
    static sim::BenchOptions UsbBench(const QTemporaryDir& dir) {
        sim::BenchOptions options;
        options.usbSocket = dir.filePath("bench.sock").toStdString();
        return options;
    }
    sim::ChildProcess::Options StartBenchThenProgram(const QTemporaryDir& dir, Env extra) {
        bench.Start();
        QDir().mkpath(dir.filePath("config/ZORTorT720"));
        auto env = sim::ProgramEnv(dir.path().toStdString());
        env.emplace_back("T720_BENCH_SOCKET", bench.usbSocket());
        for (auto& [key, value] : extra) {
            const auto same = std::find_if(env.begin(), env.end(),
                                           [&](const auto& entry) { return entry.first == key; });
            if (same != env.end())
                same->second = value;
            else
                env.emplace_back(key, value);
        }
        return {sim::BuiltProgram("t720"), {}, env, {}};
    }
};

}  // namespace t720::benchmarks
