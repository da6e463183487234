// A DMM on a FakeSerialPort for the linearity run: the remote-mode queries are
// answered as the meter does, each measurement query from the readings of its row
// (query q, counted from 1, is the first reading of row (q + 1) / 2 when odd, the
// second when even), or by a test's own script.
#pragma once

#include "linearity/DmmLink.h"
#include "linearity/Evaluate.h"
#include "tests/support/FakeSerialPort.h"
#include "tests/support/FakeUsbLibrary.h"

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace t720::linearity::test {

class ScriptedDmm {
  public:
    using Reply = t720::test::FakeSerialPort::Reply;

    explicit ScriptedDmm(t720::test::FakeSerialPort& port) {
        port.SetResponder([this](const std::string& line) -> std::vector<Reply> {
            if (line == "SYST:ERR?") return {{"+0,\"No error\"\r\n", 0.01}};
            if (line != kMeasureCommand) return {};
            ++queries;
            if (onQuery) {
                std::vector<Reply> scripted;
                if (onQuery(queries, scripted)) return scripted;
            }
            const int row = (queries + 1) / 2;
            const bool first = queries % 2 == 1;
            if (row > 20) return {};
            return {{Answer(first ? reading1[row] : reading2[row]), kAnswerDelay}};
        });
    }

    // The meter's answer to a measurement: "+5.00080000E-01" and CR LF.
    static std::string Answer(double volts) {
        char text[40];
        std::snprintf(text, sizeof text, "%+.8E\r\n", volts);
        return text;
    }

    static constexpr double kAnswerDelay = 0.05;  // seconds

    RowValues reading1{};
    RowValues reading2{};
    int queries = 0;
    // Called for every measurement query; returns true when it has put the
    // replies for this query into the vector (none: the meter stays silent).
    std::function<bool(int query, std::vector<Reply>& replies)> onQuery;
};

// The devices of a run, faked: the clock, the DMM's port with the scripted meter on
// it, and the calibrator's library.
struct FakeRunDevices {
    t720::test::FakeClock clock;
    t720::test::FakeSerialPort dmmPort{clock};
    DmmLink dmm{dmmPort, clock};
    ScriptedDmm meter{dmmPort};
    t720::test::FakeUsbLibrary lib;
};

}  // namespace t720::linearity::test
