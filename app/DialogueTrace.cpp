#include "app/DialogueTrace.h"

#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <system_error>

namespace t720 {

namespace {

double MonotonicSeconds() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

void AppendQuoted(std::string& out, std::string_view bytes) {
    static const char kHex[] = "0123456789abcdef";
    out.push_back('"');
    for (const char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (c >= 0x20 && c < 0x7f) {
                    out.push_back(ch);
                } else {
                    out += "\\x";
                    out.push_back(kHex[c >> 4]);
                    out.push_back(kHex[c & 15]);
                }
        }
    }
    out.push_back('"');
}

std::string Stamp(TraceLink link, char direction) {
    char head[64];
    std::snprintf(head, sizeof head, "%.6f %s %c ", MonotonicSeconds(), TraceLinkName(link),
                  direction);
    return head;
}

}  // namespace

const char* TraceLinkName(TraceLink link) {
    switch (link) {
        case TraceLink::T720Usb:
            return "t720-usb";
        case TraceLink::Dmm:
            return "dmm-com";
        case TraceLink::T720Serial:
            break;
    }
    return "t720-com";
}

DialogueTrace::DialogueTrace(std::filesystem::path directory, Limits limits)
    : path_(std::move(directory) / kFileName), limits_(limits) {
    std::error_code ec;
    std::filesystem::create_directories(path_.parent_path(), ec);
    const auto size = std::filesystem::file_size(path_, ec);
    // A trace of an earlier session goes on in the same file while it has room.
    if (!ec && size >= limits_.fileBytes)
        Rotate();
    else
        Open();
}

DialogueTrace::~DialogueTrace() {
    if (file_) std::fclose(file_);
}

void DialogueTrace::Open() {
    file_ = std::fopen(path_.c_str(), "ae");
    if (!file_) return;
    std::error_code ec;
    const auto size = std::filesystem::file_size(path_, ec);
    size_ = ec ? 0 : size;
    // The wall-clock time that the monotonic stamps below correspond to.
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    char when[32];
    std::strftime(when, sizeof when, "%Y-%m-%dT%H:%M:%SZ", &utc);
    char header[128];
    std::snprintf(header, sizeof header, "# t720 dialogue trace, %s = %.6f, process %ld\n", when,
                  MonotonicSeconds(), static_cast<long>(getpid()));
    Write(header);
}

void DialogueTrace::Rotate() {
    if (file_) std::fclose(file_);
    file_ = nullptr;
    std::error_code ec;
    auto older = [&](int n) {
        std::filesystem::path p = path_;
        p += "." + std::to_string(n);
        return p;
    };
    if (limits_.olderFiles <= 0) {
        std::filesystem::remove(path_, ec);
    } else {
        std::filesystem::remove(older(limits_.olderFiles), ec);
        for (int n = limits_.olderFiles - 1; n >= 1; --n)
            std::filesystem::rename(older(n), older(n + 1), ec);
        std::filesystem::rename(path_, older(1), ec);
    }
    Open();
}

void DialogueTrace::Write(const std::string& record) {
    if (!file_) return;
    if (size_ > 0 && size_ + record.size() > limits_.fileBytes) {
        Rotate();
        if (!file_) return;
    }
    // One write per record, flushed: what went over the line is on disk before the
    // next exchange, whatever happens to the program after it.
    if (std::fwrite(record.data(), 1, record.size(), file_) == record.size())
        size_ += record.size();
    std::fflush(file_);
}

void DialogueTrace::Record(TraceLink link, char direction, std::string_view bytes,
                           std::string_view tail) {
    std::string record = Stamp(link, direction);
    record.reserve(record.size() + bytes.size() + tail.size() + 16);
    AppendQuoted(record, bytes);
    if (!tail.empty()) {
        record.push_back(' ');
        record.append(tail);
    }
    record.push_back('\n');
    Write(record);
}

void DialogueTrace::Line(TraceLink link, char direction, std::string_view text) {
    std::string record = Stamp(link, direction);
    record.append(text);
    record.push_back('\n');
    Write(record);
}

std::string TraceQuoted(std::string_view bytes) {
    std::string out;
    AppendQuoted(out, bytes);
    return out;
}

bool DialogueTrace::Start(const std::filesystem::path& directory, Limits limits) {
    active_.reset();
    auto trace = std::make_unique<DialogueTrace>(directory, limits);
    if (!trace->Ok()) return false;
    active_ = std::move(trace);
    return true;
}

std::filesystem::path DefaultTraceDirectory() {
    const char* state = std::getenv("XDG_STATE_HOME");
    std::filesystem::path base;
    if (state && state[0] == '/') {
        base = state;
    } else {
        const char* home = std::getenv("HOME");
        base = std::filesystem::path(home && home[0] ? home : "/tmp") / ".local" / "state";
    }
    return base / "ZORTorT720";
}

bool TraceWantedByEnvironment() {
    const char* v = std::getenv("T720_TRACE");
    return v && v[0] && std::string_view(v) != "0";
}

}  // namespace t720
