// A serial port whose far end is fuzz input: the bytes arrive in pieces whose sizes
// and arrival times the input itself chooses.
#pragma once

#include <cstdint>
#include <string>

#include "link/SerialPort.h"
#include "tests/support/FakeClock.h"

namespace t720::fuzz {

class FuzzPort final : public SerialPort {
  public:
    FuzzPort(const uint8_t* data, size_t size, test::FakeClock& clock)
        : data_(data), size_(size), clock_(clock) {}

    bool SetCommPort(int16_t) override { return true; }
    bool SetSettings(std::string_view) override { return true; }
    void SetPortOpen(bool open) override { open_ = open; }
    bool PortOpen() const override { return open_; }
    void Output(std::string_view) override {}
    int InBufferCount() override {
        Arrive();
        return static_cast<int>(waiting_.size());
    }
    std::string Input() override {
        Arrive();
        std::string out;
        out.swap(waiting_);
        return out;
    }
    bool WaitForInput(double seconds) override {
        if (!waiting_.empty()) return true;
        if (pos_ >= size_) {
            clock_.SleepUntil(clock_.Now() + seconds);
            return false;
        }
        // The next piece arrives after (first byte / 1000) seconds.
        const double gap = data_[pos_] / 1000.0;
        if (gap > seconds) {
            clock_.SleepUntil(clock_.Now() + seconds);
            ++pos_;  // the piece came too late for this read; it is consumed as noise
            return false;
        }
        clock_.SleepUntil(clock_.Now() + gap);
        ++pos_;
        Take();
        return !waiting_.empty();
    }

  private:
    void Arrive() {
        if (waiting_.empty() && pos_ < size_ && data_[pos_] == 0) {
            ++pos_;
            Take();
        }
    }
    // A piece: a length byte, then that many bytes.
    void Take() {
        if (pos_ >= size_) return;
        const size_t want = data_[pos_];
        ++pos_;
        const size_t n = std::min(want, size_ - pos_);
        waiting_.append(reinterpret_cast<const char*>(data_ + pos_), n);
        pos_ += n;
    }

    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
    test::FakeClock& clock_;
    std::string waiting_;
    bool open_ = true;
};

}  // namespace t720::fuzz
