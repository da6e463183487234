#include "program/RemoteDesk.h"

#include <algorithm>
#include <cstdlib>

namespace t720 {

using remote::ClientId;
using remote::ErrorReply;
using remote::JsonLine;
using remote::Request;
using remote::Verb;

namespace {

constexpr const char* kStateNames[] = {"searching", "found", "connected", "linearity run",
                                       "re-display"};

std::string LinkName(const SharedState& s) {
    if (s.LinkType == kLinkUsb) return "USB";
    if (s.LinkType == kLinkCom1) return "COM1";
    return "COM" + std::to_string(2 + s.ComIncr);
}

constexpr const char* kGoesOutNext = "it goes out with the next transmission";

}  // namespace

RemoteDesk::RemoteDesk(SharedState& state, MainPanel& panel, Supervisor& supervisor, Hooks hooks)
    : s_(state),
      panel_(panel),
      sup_(supervisor),
      hooks_(std::move(hooks)),
      server_([this](ClientId c, const Request& r) { Handle(c, r); },
              [this](ClientId c) { Gone(c); }) {
    beepEnd_.setSingleShot(true);
    QObject::connect(&beepEnd_, &QTimer::timeout, [this] { EndRemoteBeep(); });
}

std::string RemoteDesk::Start(const remote::SocketPlace& place) {
    return server_.Listen(place);
}

void RemoteDesk::Handle(ClientId client, const Request& request) {
    if (request.verb == Verb::Status) return server_.Reply(client, StatusReply());
    if (request.verb == Verb::WaitConnected) return WaitForConnection(client, request.seconds);
    if (const std::string refusal = Refusal(request); !refusal.empty())
        return server_.Reply(client, refusal);
    // Waiting before the handlers run: the beep's handler runs a pass of its own.
    waiting_.push_back({client, false, nullptr});
    Apply(client, request);
    // The handlers ask for an immediate pass; so does a request whose state was
    // already in effect, so that its reply carries a verdict of its own.
    const bool unanswered = std::any_of(waiting_.begin(), waiting_.end(),
                                        [&](const Waiting& w) { return w.client == client; });
    if (unanswered) sup_.RequestPass();
}

std::string RemoteDesk::Refusal(const Request& r) const {
    const std::string busy = hooks_.refusal ? hooks_.refusal() : std::string();
    if (!busy.empty()) return ErrorReply("busy", "refused: " + busy);
    if (s_.LinkState != kLinkConnected)
        return ErrorReply("not_connected", "refused: no calibrator connected");
    if (r.verb == Verb::Load && s_.LoadMode == 0)
        return ErrorReply("no_load_toggle",
                          "refused: there is no load toggle (the program runs without /Load)");
    if (r.verb != Verb::Set) return {};
    const PanelModel& m = panel_.Model();
    auto outside = [](const char* what, int32_t value, int lo, int hi) {
        return ErrorReply("out_of_range", "refused: " + std::string(what) + " " +
                                              std::to_string(value) + " is outside " +
                                              std::to_string(lo) + ".." + std::to_string(hi));
    };
    if (r.channel && (*r.channel < 0 || *r.channel > m.ChanScroll.max))
        return outside("channel", *r.channel, 0, m.ChanScroll.max);
    if (r.range && (*r.range < 1 || *r.range > m.RangeScroll.max))
        return outside("range", *r.range, 1, m.RangeScroll.max);
    if (r.percent && (std::abs(*r.percent) > 100 || *r.percent % 10 != 0))
        return ErrorReply("out_of_range", "refused: percent " + std::to_string(*r.percent) +
                                              " is not one of -100..100 in steps of 10");
    return {};
}

void RemoteDesk::Apply(ClientId client, const Request& r) {
    switch (r.verb) {
        case Verb::Set:
            if (r.channel) panel_.ChannelClick(*r.channel);
            if (r.range) panel_.RangeClick(*r.range - 1);
            if (r.percent) {
                r.minus ? panel_.MinusClick() : panel_.PlusClick();
                panel_.ProzeClick(std::abs(*r.percent) / 10);
            }
            break;
        case Verb::Beep:
            // As the button held down and let go.
            beepClient_.reset();
            beepEnd_.stop();
            if (!r.on) {
                panel_.Command6Up();
                break;
            }
            beepClient_ = client;
            beepEnd_.start(static_cast<int>(r.seconds * 1000.0));
            panel_.Command6Down();
            break;
        case Verb::Ready:
            if ((s_.ReadyOn != 0) != r.on) panel_.Command7Click();
            break;
        case Verb::Load:
            if ((s_.LoadHigh != 0) != r.on) panel_.CommandspClick();
            break;
        case Verb::Status:
        case Verb::WaitConnected:
            break;
    }
    if (hooks_.render) hooks_.render();
}

void RemoteDesk::WaitForConnection(ClientId client, double seconds) {
    if (s_.LinkState == kLinkConnected)
        return server_.Reply(client, JsonLine().Add("ok", true).Add("link_state", 2).Line());
    auto deadline = std::make_unique<QTimer>();
    deadline->setSingleShot(true);
    QObject::connect(deadline.get(), &QTimer::timeout, [this, client, seconds] {
        Forget(client);
        server_.Reply(client, ErrorReply("timeout", "no calibrator connected after " +
                                                        remote::JsonNumber(seconds) + " s"));
    });
    deadline->start(static_cast<int>(seconds * 1000.0));
    waiting_.push_back({client, true, std::move(deadline)});
}

void RemoteDesk::EndRemoteBeep() {
    beepClient_.reset();
    beepEnd_.stop();
    if (s_.BeepOn == 0) return;
    const std::string busy = hooks_.refusal ? hooks_.refusal() : std::string();
    // Nothing may be sent while the panel is out of use: then it ends with the next
    // transmission, as a button let go in a switched-off window.
    if (busy.empty() && s_.LinkState == kLinkConnected)
        panel_.Command6Up();
    else
        panel_.Command6UpUnsent();
    if (hooks_.render) hooks_.render();
}

void RemoteDesk::Gone(ClientId client) {
    Forget(client);
    if (beepClient_ == client) EndRemoteBeep();
}

void RemoteDesk::Forget(ClientId client) {
    for (auto it = waiting_.begin(); it != waiting_.end();) {
        if (it->client != client) {
            ++it;
            continue;
        }
        // The timer may be the one whose timeout is being delivered.
        if (it->deadline) it->deadline.release()->deleteLater();
        it = waiting_.erase(it);
    }
}

void RemoteDesk::PassSeen(bool polled) {
    polledOnce_ = polledOnce_ || polled;
    std::vector<ClientId> verdicts, connected;
    for (const Waiting& w : waiting_) {
        if (!w.forConnection)
            verdicts.push_back(w.client);
        else if (s_.LinkState == kLinkConnected)
            connected.push_back(w.client);
    }
    // Replies may drop a client, which forgets what it waited for: take them out first.
    for (ClientId c : verdicts) Forget(c);
    for (ClientId c : connected) Forget(c);
    std::string notSent;
    if (!polled) {
        const std::string busy = hooks_.refusal ? hooks_.refusal() : std::string();
        notSent = JsonLine()
                      .Add("ok", false)
                      .Add("pending", true)
                      .Add("reason", "not_sent")
                      .Add("error", "the setting was not sent: " +
                                        (busy.empty() ? "no calibrator connected" : busy) + "; " +
                                        kGoesOutNext)
                      .Line();
    }
    for (ClientId c : verdicts) server_.Reply(c, polled ? VerdictReply() : notSent);
    for (ClientId c : connected)
        server_.Reply(c, JsonLine().Add("ok", true).Add("link_state", 2).Line());
}

std::string RemoteDesk::Meaning() const {
    if (!polledOnce_) return "no transmission yet";
    if (s_.AnswerStatus == kAnswerAccepted) return "accepted";
    if (const char* text = FaultText(s_.LinkType, s_.AnswerStatus)) return text;
    if (s_.LinkType == kLinkUsb && s_.AnswerStatus == kAnswerLibraryFailed)
        return "USB library call failed";
    return "no verdict";
}

std::string RemoteDesk::VerdictReply() const {
    const bool accepted = s_.AnswerStatus == kAnswerAccepted;
    JsonLine reply;
    reply.Add("ok", accepted).Add("answer_status", s_.AnswerStatus).Add("meaning", Meaning());
    if (accepted) return reply.Line();
    // Only a calibrator that answered with a condition digit has taken the setting;
    // otherwise it stands in the panel, and every pass sends it again.
    if (s_.AnswerStatus == kAnswerCondition)
        return reply.Add("reason", "verdict").Add("error", Meaning()).Line();
    return reply.Add("pending", true)
        .Add("reason", "verdict")
        .Add("error", Meaning() + "; " + kGoesOutNext)
        .Line();
}

std::string RemoteDesk::StatusReply() const {
    const PanelModel& m = panel_.Model();
    const int ranges = m.RangeScroll.max;
    std::string table = "[";
    for (int i = 1; i <= ranges && i < static_cast<int>(s_.RangeTab.size()); ++i)
        table += (i > 1 ? "," : "") + remote::JsonNumber(FullScaleMvV(s_.RangeTab[i]));
    table += "]";
    const bool linked = s_.LinkState >= kLinkConnected;
    const int sign = m.minusSelected ? -1 : 1;
    const std::string refusal = hooks_.refusal ? hooks_.refusal() : std::string();
    JsonLine reply;
    reply.Add("ok", true)
        .Add("link", LinkName(s_))
        .Add("link_type", s_.LinkType)
        .Add("link_state", int32_t{s_.LinkState})
        .Add("state", s_.LinkState >= 0 && s_.LinkState <= 4 ? kStateNames[s_.LinkState] : "?")
        .Add("serial", linked ? s_.DeviceId : std::string())
        .Add("identification", linked ? sup_.Identification() : std::string())
        .Add("channels", int32_t{m.ChanScroll.max + 1})
        .Add("ranges", int32_t{ranges})
        .AddRaw("range_table", table)
        .Add("half_bridge_offered", m.HBrVisible)
        .Add("channel", s_.ChannelNo)
        .Add("range", s_.RangeIdx)
        .Add("percent", int32_t{sign * s_.ProzStep * 10})
        .Add("sign", m.minusSelected ? "-" : "+")
        .Add("full_scale", s_.RangeMvV)
        .Add("output", sign * s_.ProzStep * s_.RangeMvV / 10.0)
        .Add("half_bridge", s_.HalfBridge != 0)
        .Add("ready", s_.ReadyOn != 0)
        .Add("beep", s_.BeepOn != 0)
        .Add("load", s_.LoadHigh != 0)
        .Add("load_toggle", s_.LoadMode != 0)
        .Add("answer_status", s_.AnswerStatus)
        .Add("meaning", Meaning())
        .Add("linearity_run", hooks_.linearityRun && hooks_.linearityRun())
        .Add("search", hooks_.searching && hooks_.searching())
        .Add("sets_refused", s_.LinkState != kLinkConnected && refusal.empty()
                                 ? std::string("no calibrator connected")
                                 : refusal);
    return reply.Line();
}

}  // namespace t720
