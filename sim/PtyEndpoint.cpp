#include "sim/PtyEndpoint.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/inotify.h>
#include <termios.h>

#include <cerrno>
#include <filesystem>
#include <system_error>

#include "sim/LinkPath.h"

namespace t720::sim {

namespace {

[[noreturn]] void ThrowErrno(const char* what) {
    throw std::system_error(errno, std::generic_category(), what);
}

// A serial line carries bytes unchanged: no echo, no line editing, no CR/LF
// translation, all eight bits. On Linux the terminal settings belong to the pty pair,
// so they hold for every later opener of the slave too.
void MakeRaw(int fd) {
    termios tio{};
    if (tcgetattr(fd, &tio) != 0) ThrowErrno("tcgetattr");
    cfmakeraw(&tio);
    cfsetispeed(&tio, B9600);
    cfsetospeed(&tio, B9600);
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    if (tcsetattr(fd, TCSANOW, &tio) != 0) ThrowErrno("tcsetattr");
}

// Bytes taken from the master per readiness report; the rest waits for the next
// round, so one busy peer cannot starve timers and other endpoints.
constexpr int kReadRounds = 16;

}  // namespace

PtyEndpoint::PtyEndpoint(EventLoop& loop, std::string linkPath, LineService service)
    : loop_(loop), linkPath_(std::move(linkPath)), service_(std::move(service)) {}

PtyEndpoint::~PtyEndpoint() {
    Close();
}

void PtyEndpoint::Open() {
    if (IsOpen()) return;
    UniqueFd master(posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC));
    if (!master) ThrowErrno("posix_openpt");
    if (grantpt(master.get()) != 0 || unlockpt(master.get()) != 0) ThrowErrno("grantpt");
    char name[128];
    if (const int err = ptsname_r(master.get(), name, sizeof name); err != 0)
        throw std::system_error(err, std::generic_category(), "ptsname_r");
    // O_NOCTTY: the bench must never adopt the pty as its controlling terminal, or
    // closing the master would send it SIGHUP.
    UniqueFd slave(open(name, O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK));
    if (!slave) ThrowErrno("open pty slave");
    MakeRaw(slave.get());
    if (fcntl(master.get(), F_SETFL, fcntl(master.get(), F_GETFL) | O_NONBLOCK) != 0)
        ThrowErrno("fcntl O_NONBLOCK");
    PointLinkAt(name);

    master_ = std::move(master);
    slave_ = std::move(slave);
    ptyName_ = name;
    WatchOpeners();
    watch_ = loop_.Watch(master_.get(), POLLIN, [this](short revents) { OnMaster(revents); });
}

void PtyEndpoint::WatchOpeners() {
    openers_ = 0;
    openerEvents_.Reset(inotify_init1(IN_CLOEXEC | IN_NONBLOCK));
    if (!openerEvents_ || inotify_add_watch(openerEvents_.get(), ptyName_.c_str(),
                                            IN_OPEN | IN_CLOSE_WRITE | IN_CLOSE_NOWRITE) < 0) {
        // Without the events the pty still works; it just keeps stale answers.
        openerEvents_.Reset();
        return;
    }
    openerWatch_ = loop_.Watch(openerEvents_.get(), POLLIN, [this](short) { CatchUpOnOpeners(); });
}

void PtyEndpoint::CatchUpOnOpeners() {
    if (!openerEvents_) return;
    alignas(inotify_event) char buffer[4096];
    for (;;) {
        const ssize_t n = read(openerEvents_.get(), buffer, sizeof buffer);
        if (n <= 0) return;
        for (ssize_t pos = 0; pos < n;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + pos);
            pos += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            if (event->mask & IN_Q_OVERFLOW) {
                openers_ = 1;  // count lost: assume someone listens, drop nothing
            } else if (event->mask & IN_OPEN) {
                if (openers_++ == 0) DiscardUnread();
            } else if (event->mask & (IN_CLOSE_WRITE | IN_CLOSE_NOWRITE)) {
                if (openers_ > 0 && --openers_ == 0) DiscardUnread();
            }
        }
    }
}

void PtyEndpoint::DiscardUnread() {
    tcflush(slave_.get(), TCIFLUSH);
    output_.Clear();
    lines_.Reset();
}

void PtyEndpoint::HangUp() {
    if (!IsOpen()) return;
    loop_.Unwatch(*watch_);
    watch_.reset();
    if (timer_) loop_.CancelTimer(*timer_);
    timer_.reset();
    schedule_.clear();
    output_.Clear();
    lines_.Reset();
    hangUpPending_ = false;
    if (openerWatch_) loop_.Unwatch(*openerWatch_);
    openerWatch_.reset();
    openerEvents_.Reset();
    // Leave the link in place but leading nowhere: devpts names are numbers only,
    // so this target can never exist, and nobody reaches a reused pty number. This
    // comes before the close, so a program that reopens the moment it sees the
    // hang-up finds the path gone rather than a dying pty. A link that a bench
    // started since has taken over is its own, and no longer ours by any name.
    linkTarget_.clear();
    if (LinkLeadsTo(linkPath_, slave_.get())) {
        try {
            PointLinkAt(ptyName_ + ".hung-up");
        } catch (const std::filesystem::filesystem_error&) {
            // The directory went away; then there is no link to mislead anyone.
        }
    }
    master_.Reset();
    slave_.Reset();
    ptyName_.clear();
}

void PtyEndpoint::Close() {
    // Removed while the pty is still held: after the close its number may go to a
    // bench started since on the same link path, and a link to it would be that
    // bench's. Without a link of ours the hang-up then points nothing anywhere.
    if (IsOpen()) RemoveLinkTo(linkPath_, slave_.get());
    HangUp();
    // A link left leading nowhere by an earlier hang-up.
    if (!linkTarget_.empty()) RemoveLink(linkPath_, linkTarget_);
}

void PtyEndpoint::PointLinkAt(const std::string& target) {
    PointLink(linkPath_, target);
    linkTarget_ = target;
}

void PtyEndpoint::OnMaster(short revents) {
    // An opener's open event is queued before it can write; taking the events first
    // means a fresh opener's answers are never discarded as stale.
    CatchUpOnOpeners();
    if (revents & POLLIN) ReadInput();
    if (IsOpen() && (revents & POLLOUT)) Flush();
    // The bench holds the slave open, so the master cannot see the program leave;
    // an error here means the pty itself broke. Never keep polling a broken one.
    if (IsOpen() && (revents & (POLLERR | POLLHUP)) && !(revents & POLLIN)) HangUp();
}

void PtyEndpoint::ReadInput() {
    char buffer[4096];
    for (int round = 0; round < kReadRounds && IsOpen(); ++round) {
        const ssize_t n = read(master_.get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
        if (n <= 0) {
            HangUp();
            return;
        }
        lines_.Feed(std::string_view(buffer, static_cast<size_t>(n)),
                    [this](std::string_view line) { Answer(line); });
        if (hangUpPending_) {
            HangUp();
            return;
        }
    }
}

void PtyEndpoint::Answer(std::string_view line) {
    if (hangUpPending_) return;  // lines behind the one that met the hang-up are lost
    const Reply reply = service_(line);
    if (reply.hangUp) {
        hangUpPending_ = true;
        return;
    }
    const auto now = EventLoop::Clock::now();
    for (TimedBytes& piece : shaper_.Shape(reply))
        Schedule({now + piece.at, std::move(piece.bytes)});
}

void PtyEndpoint::Schedule(Scheduled item) {
    if (!schedule_.empty() && item.due < schedule_.back().due) item.due = schedule_.back().due;
    schedule_.push_back(std::move(item));
    ArmTimer();
}

void PtyEndpoint::ArmTimer() {
    if (timer_ || schedule_.empty()) return;
    timer_ = loop_.AddTimer(schedule_.front().due, [this] {
        timer_.reset();
        OnDue();
    });
}

void PtyEndpoint::OnDue() {
    const auto now = EventLoop::Clock::now();
    while (!schedule_.empty() && schedule_.front().due <= now) {
        output_.Append(schedule_.front().bytes);
        schedule_.pop_front();
    }
    Flush();
    ArmTimer();
}

void PtyEndpoint::Flush() {
    if (!IsOpen()) return;
    CatchUpOnOpeners();
    if (!SomeoneListens()) output_.Clear();  // a closed port loses what arrives
    switch (output_.WriteTo(master_.get())) {
        case OutputQueue::WriteResult::Drained:
            loop_.SetEvents(*watch_, POLLIN);
            break;
        case OutputQueue::WriteResult::WouldBlock:
            loop_.SetEvents(*watch_, POLLIN | POLLOUT);
            break;
        case OutputQueue::WriteResult::Failed:
            HangUp();
            break;
    }
}

}  // namespace t720::sim
