#include "tests/support/FakeSerialPort.h"

#include <algorithm>
#include <utility>

#include "link/LineSettings.h"

namespace t720::test {

void FakeSerialPort::Arrive(std::string bytes, double delay) {
    // Behind everything due at the same time or earlier.
    const double at = clock_.Now() + delay;
    const auto later = std::upper_bound(pending_.begin(), pending_.end(), at,
                                        [](double t, const Pending& p) { return t < p.at; });
    pending_.insert(later, {at, std::move(bytes)});
}

bool FakeSerialPort::SetCommPort(int16_t n) {
    if (open_ || n < 1) return false;
    commPort = n;
    return true;
}

bool FakeSerialPort::SetSettings(std::string_view s) {
    if (!ParseLineSettings(s)) return false;
    settings = std::string(s);
    return true;
}

void FakeSerialPort::SetPortOpen(bool open) {
    if (open && !open_ && openable_) {
        open_ = true;
    } else if (!open && open_) {
        open_ = false;
        input_.clear();
        pending_.clear();
    }
}

void FakeSerialPort::Output(std::string_view bytes) {
    if (!open_) return;
    written.append(bytes);
    for (char c : bytes) {
        if (c != '\n') {
            partialLine_.push_back(c);
            continue;
        }
        const std::string line = partialLine_;
        lines.push_back(line);
        partialLine_.clear();
        if (responder_)
            for (auto& r : responder_(line)) Arrive(r.bytes, r.delay);
    }
}

void FakeSerialPort::Deliver() {
    while (!pending_.empty() && pending_.front().at <= clock_.Now()) {
        input_ += pending_.front().bytes;
        pending_.pop_front();
    }
}

int FakeSerialPort::InBufferCount() {
    if (!open_) return 0;
    Deliver();
    return static_cast<int>(input_.size());
}

std::string FakeSerialPort::Input() {
    if (!open_) return {};
    Deliver();
    return std::exchange(input_, {});
}

bool FakeSerialPort::WaitForInput(double seconds) {
    if (!open_) return false;
    Deliver();
    if (!input_.empty()) return true;
    const double until = clock_.Now() + seconds;
    if (!pending_.empty() && pending_.front().at <= until) {
        clock_.SleepUntil(pending_.front().at);
        Deliver();
        return true;
    }
    clock_.SleepUntil(until);
    Deliver();
    return !input_.empty();
}

}  // namespace t720::test
