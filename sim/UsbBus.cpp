#include "sim/UsbBus.h"

namespace t720::sim {

using namespace usbwire;

CalCommandReply UsbBus::CalCommand(CalibratorModel& model, const CalCommandRequest& request) {
    CalCommandReply reply;
    reply.id = request.id;
    if (request.device != 0 || faults_.fail) {
        ++failedCalls_;
        reply.result = request.device != 0 ? kResultNoSuchDevice : kResultBusFailure;
        return reply;
    }
    const std::optional<std::string> answer = model.Handle(request.command.view());
    if (!answer) return reply;  // silent: no answer, count 0
    std::string_view text = *answer;
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.remove_suffix(1);
    reply.answer.Assign(text);
    reply.count = faults_.count0 ? 0 : 1;
    return reply;
}

DeviceInfoReply UsbBus::DeviceInfo(const CalibratorModel& model, const DeviceInfoRequest& request) {
    if (infoRequests_.size() == kRecordCap) infoRequests_.pop_front();
    infoRequests_.push_back(
        {std::string(request.serial.view()), std::string(request.ident.view())});

    DeviceInfoReply reply;
    reply.n1 = 0;
    reply.text2.Assign(kAbsent);
    reply.text3.Assign(kAbsent);
    if (faults_.absent) {
        reply.status = kStatusNoDevice;
        reply.text2 = reply.text3 = Text{};
        return reply;
    }
    const CalibratorModel::Identity& identity = model.identity();
    reply.status = 0;
    reply.serial.Assign(faults_.cpRoute ? "CP" + identity.serial : identity.serial);
    reply.ident.Assign(
        faults_.nullIdent || identity.ident.empty() ? kAbsent : std::string_view(identity.ident));
    return reply;
}

void UsbBus::ClearRecord() {
    infoRequests_.clear();
    failedCalls_ = 0;
}

}  // namespace t720::sim
