// A serial port whose far end is a function: every line written is handed to the
// responder, whose answer arrives after a chosen delay on the fake clock. Lets the
// exchange logic be tested without a pseudo-terminal and without real time-outs.
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "link/SerialPort.h"
#include "tests/support/FakeClock.h"

namespace t720::test {

class FakeSerialPort final : public SerialPort {
  public:
    struct Reply {
        std::string bytes;
        double delay = 0.0;  // seconds after the line was written
    };
    using Responder = std::function<std::vector<Reply>(const std::string& line)>;

    explicit FakeSerialPort(FakeClock& clock) : clock_(clock) {}

    void SetResponder(Responder r) { responder_ = std::move(r); }
    // Bytes that arrive `delay` seconds from now, unasked.
    void Arrive(std::string bytes, double delay = 0.0);
    // Lets a port number fail to open.
    void SetOpenable(bool openable) { openable_ = openable; }

    bool SetCommPort(int16_t n) override;
    bool SetSettings(std::string_view settings) override;
    void SetPortOpen(bool open) override;
    bool PortOpen() const override { return open_; }
    void Output(std::string_view bytes) override;
    int InBufferCount() override;
    std::string Input() override;
    bool WaitForInput(double seconds) override;
    std::string OpenProblem() const override { return openable_ ? "" : openProblem; }

    int16_t commPort = 1;
    std::string settings;
    std::string written;             // every byte written, in order
    std::vector<std::string> lines;  // the same, split into lines (without LF)
    std::string openProblem;         // the reason given while the port does not open

  private:
    struct Pending {
        double at;
        std::string bytes;
    };
    void Deliver();

    FakeClock& clock_;
    Responder responder_;
    std::deque<Pending> pending_;
    std::string input_;
    std::string partialLine_;
    bool open_ = false;
    bool openable_ = true;
};

}  // namespace t720::test
