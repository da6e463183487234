#include "app/DialogueTrace.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "app/PrivateFiles.h"

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
    : path_(directory / kFileName), limits_(limits) {
    dirFd_ = OpenPrivateFolder(directory, why_);
    if (dirFd_ < 0) return;
    struct stat st {};
    // A trace of an earlier session goes on in the same file while it has room.
    if (fstatat(dirFd_, kFileName, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode) &&
        static_cast<uint64_t>(st.st_size) >= limits_.fileBytes)
        Rotate();
    else
        Open();
}

DialogueTrace::~DialogueTrace() {
    Close();
    if (dirFd_ >= 0) close(dirFd_);
}

void DialogueTrace::Close() {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
}

void DialogueTrace::Open() {
    fd_ = OpenPrivateFile(dirFd_, kFileName, O_WRONLY | O_APPEND | O_CREAT, why_);
    if (fd_ < 0) return;
    struct stat st {};
    size_ = fstat(fd_, &st) == 0 ? static_cast<uint64_t>(st.st_size) : 0;
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
    Close();
    auto older = [&](int n) { return std::string(kFileName) + "." + std::to_string(n); };
    if (limits_.olderFiles <= 0) {
        unlinkat(dirFd_, kFileName, 0);
    } else {
        unlinkat(dirFd_, older(limits_.olderFiles).c_str(), 0);
        for (int n = limits_.olderFiles - 1; n >= 1; --n)
            renameat(dirFd_, older(n).c_str(), dirFd_, older(n + 1).c_str());
        renameat(dirFd_, kFileName, dirFd_, older(1).c_str());
    }
    Open();
}

void DialogueTrace::Write(const std::string& record) {
    if (fd_ < 0) return;
    if (size_ > 0 && size_ + record.size() > limits_.fileBytes) {
        Rotate();
        if (fd_ < 0) return;
    }
    std::string bytes;
    if (lost_ > 0) {
        char head[160];
        std::snprintf(head, sizeof head, "# %llu lines lost from %.6f to %.6f: ",
                      static_cast<unsigned long long>(lost_), lostSince_, lostUntil_);
        bytes = head + lostWhy_ + "\n";
    }
    bytes += record;
    // One write per record: what went over the line is in the file before the next
    // exchange, whatever happens to the program after it.
    size_t done = 0;
    int error = 0;
    while (done < bytes.size() && error == 0) {
        const ssize_t n = write(fd_, bytes.data() + done, bytes.size() - done);
        if (n > 0)
            done += static_cast<size_t>(n);
        else if (n == 0 || errno != EINTR)
            error = n == 0 ? ENOSPC : errno;
    }
    if (done == bytes.size()) {
        size_ += done;
        if (lost_ > 0 && notice_)
            notice_("Dialogue trace written again; " + std::to_string(lost_) +
                    " lines were lost: " + lostWhy_);
        lost_ = 0;
        return;
    }
    // Never a cut-off line that the next record would be glued to.
    if (ftruncate(fd_, static_cast<off_t>(size_)) != 0) {
        // The file cannot even be cut back: stop rather than write on after a torn line.
        Close();
        if (notice_) notice_("Dialogue trace stopped: " + path_.string() + " cannot be written");
        return;
    }
    lostUntil_ = MonotonicSeconds();
    if (lost_++ == 0) {
        lostSince_ = lostUntil_;
        lostWhy_ = std::strerror(error);
        if (notice_) notice_("Dialogue trace is losing lines: " + lostWhy_);
    }
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
    problem_ = trace->why_;
    if (!trace->Ok()) return false;
    active_ = std::move(trace);
    return true;
}

std::filesystem::path DefaultTraceDirectory() {
    return StateDirectory();
}

bool TraceWantedByEnvironment() {
    const char* v = std::getenv("T720_TRACE");
    return v && v[0] && std::string_view(v) != "0";
}

}  // namespace t720
