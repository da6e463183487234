// The request grammar at its edges, and the reply texts that must stay one line.
#include <gtest/gtest.h>

#include "remote/Protocol.h"

namespace t720::remote {
namespace {

TEST(Protocol, RequestsAndWhatIsNoRequest) {
    struct Case {
        std::string line;
        std::string
            expect;  // the request as "verb channel range percent minus on seconds", or the error
    };
    auto show = [](const Parsed& p) {
        if (!p.request) return p.error;
        const Request& r = *p.request;
        auto n = [](const std::optional<int32_t>& v) { return v ? std::to_string(*v) : "-"; };
        return std::to_string(static_cast<int>(r.verb)) + " " + n(r.channel) + " " + n(r.range) +
               " " + n(r.percent) + " " + std::to_string(r.minus) + " " + std::to_string(r.on) +
               " " + JsonNumber(r.seconds);
    };
    const Case cases[] = {
        {"set channel=3 range=2 percent=-50", "0 3 2 -50 1 0 0"},
        {"  set\tpercent=+20 ", "0 - - 20 0 0 0"},
        {"set percent=-0", "0 - - 0 1 0 0"},       // minus at zero
        {"set channel=9999", "0 9999 - - 0 0 0"},  // the variant's limits are the program's
        {"set channel=3 channel=4", "set: channel given twice"},
        {"set channel=-1", "set: channel=\"-1\" is not a whole number"},
        {"set percent=10000", "set: percent=\"10000\" is not a whole number"},
        {"set volume=3", "set: unknown setting \"volume\""},
        {"set", "set needs channel=N, range=N or percent=P"},
        {"beep on", "1 - - - 0 1 2"},  // a short beep unless told
        {"beep on 60", "1 - - - 0 1 60"},
        {"beep on 60.5", "beep needs on [SECONDS, at most 60] or off"},
        {"beep off 1", "beep needs on [SECONDS, at most 60] or off"},
        {"ready maybe", "ready needs on or off"},
        {"wait-connected 2.5", "5 - - - 0 0 2.5"},
        {"wait-connected 3601", "wait-connected needs the seconds to wait, at most 3600"},
        {"wait-connected 1e3", "wait-connected needs the seconds to wait, at most 3600"},
        {"status now", "status takes no arguments"},
        {"status\x01", "request contains a control or non-ASCII byte"},
        {"", "empty request"},
        {std::string(kMaxLine + 1, ' '), "line too long"},
        {"Status", "unknown request \"Status\""},
    };
    for (const Case& c : cases) EXPECT_EQ(show(ParseRequest(c.line)), c.expect) << c.line;
}

TEST(Protocol, DeviceTextsStayOneLineOfUtf8) {
    EXPECT_EQ(JsonLine().Add("id", "T\"7\\2\n0\xE9").Add("n", 0.5).Add("ok", true).Line(),
              "{\"id\":\"T\\\"7\\\\2\\u000a0\xC3\xA9\",\"n\":0.5,\"ok\":true}\n");
}

}  // namespace
}  // namespace t720::remote
