// A USB library in memory: records every call and answers by a script.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "link/UsbCalLibrary.h"

namespace t720::test {

class FakeUsbLibrary final : public UsbCalLibrary {
  public:
    struct Call {
        int32_t device;
        std::string id;
        std::string command;
        int32_t countIn;
    };
    struct Answer {
        int32_t result = 0;
        std::string text = "0";
        int32_t count = 1;
        std::string idOut;  // empty: the id comes back unchanged
    };

    bool missing = false;  // every call "cannot be made"
    std::function<Answer(const Call&)> answer = [](const Call&) { return Answer{}; };
    std::vector<Call> calls;

    // Discovery: the status and the texts the library leaves (before the cut).
    int32_t infoStatus = 0;
    DeviceInfo info{0, "T720-40211", "", "", "T720S09 V2.01"};
    std::vector<std::pair<std::string, std::string>> infoPrefixes;  // (serial, ident) seen

    std::optional<int32_t> CalCommand(int32_t device, std::string& id, std::string& command,
                                      int32_t& count) override {
        if (missing) return std::nullopt;
        const Call call{device, id, command, count};
        calls.push_back(call);
        const Answer a = answer(call);
        command = a.text;
        count = a.count;
        if (!a.idOut.empty()) id = a.idOut;
        return a.result;
    }

    std::optional<int32_t> GetUSBDeviceInfo(const std::string& serialPrefix,
                                            const std::string& identPrefix,
                                            DeviceInfo& out) override {
        if (missing) return std::nullopt;
        infoPrefixes.emplace_back(serialPrefix, identPrefix);
        out = info;
        return infoStatus;
    }

    std::vector<std::string> Commands() const {
        std::vector<std::string> out;
        for (const auto& c : calls) out.push_back(c.command);
        return out;
    }
};

}  // namespace t720::test
