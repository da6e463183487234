// A device's serial port, played by a pseudo-terminal: the program opens the link
// path (a symbolic link to the slave side) as it would open a serial adapter, and
// the bench works the master side. Lines from the program go to a LineService; its
// replies go back with the transport faults the reply asks for.
//
// Everything here runs on the event loop's thread.
#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "sim/EventLoop.h"
#include "sim/LineSplitter.h"
#include "sim/OutputQueue.h"
#include "sim/ReplyShaping.h"
#include "sim/UniqueFd.h"

namespace t720::sim {

class PtyEndpoint {
  public:
    using LineService = std::function<Reply(std::string_view line)>;

    PtyEndpoint(EventLoop& loop, std::string linkPath, LineService service);
    ~PtyEndpoint();
    PtyEndpoint(const PtyEndpoint&) = delete;
    PtyEndpoint& operator=(const PtyEndpoint&) = delete;

    // Opens a new pseudo-terminal (raw, no echo) and points the link path at it.
    // Throws std::system_error or std::filesystem_error. Does nothing when open.
    void Open();
    // Closes the pseudo-terminal as a pulled cable would: the program's side gets
    // a hang-up, and answers not yet written are lost. The link stays, leading
    // nowhere until Open(): the kernel may hand the old pty number to someone else.
    // A link another bench has pointed elsewhere meanwhile is left as it is.
    void HangUp();
    // Hangs up and removes the link, if it still is ours.
    void Close();

    // Takes note of every open and close of the slave so far; a last close discards
    // what that opener left unread. Runs by itself on the loop as the events come;
    // calling it directly closes the race with a program that reopens at once.
    void CatchUpOnOpeners();

    bool IsOpen() const { return static_cast<bool>(master_); }
    // The slave's name (/dev/pts/N) while open, else "".
    const std::string& PtyName() const { return ptyName_; }
    const std::string& LinkPath() const { return linkPath_; }
    // Output bytes dropped because the program did not read them.
    uint64_t DroppedBytes() const { return output_.dropped(); }

  private:
    struct Scheduled {
        EventLoop::Clock::time_point due;
        std::string bytes;
    };

    void WatchOpeners();
    void DiscardUnread();
    bool SomeoneListens() const { return !openerEvents_ || openers_ > 0; }
    void OnMaster(short revents);
    void ReadInput();
    void Answer(std::string_view line);
    void Schedule(Scheduled item);
    void ArmTimer();
    void OnDue();
    void Flush();
    void PointLinkAt(const std::string& target);

    EventLoop& loop_;
    const std::string linkPath_;
    LineService service_;
    ReplyShaper shaper_;

    UniqueFd master_;
    // The bench keeps the slave open itself: with no slave open the master reports
    // a hang-up on every poll, and the loop would spin until a program opens it.
    UniqueFd slave_;
    // Who else has the slave open, from inotify's open and close events on it. A
    // serial port that nobody has open loses what arrives, and a closed port loses
    // what was not read; the pty would keep both for the next opener, so we drop
    // them when the last opener leaves and again when the next one comes.
    UniqueFd openerEvents_;
    std::optional<EventLoop::WatchId> openerWatch_;
    int openers_ = 0;
    std::string ptyName_;
    std::string linkTarget_;  // what we last pointed the link at; "" once it is not ours
    std::optional<EventLoop::WatchId> watch_;

    LineSplitter lines_;
    // Output in the order it must go out; due times never decrease, so a late answer
    // is never overtaken by the answer to a later line.
    std::deque<Scheduled> schedule_;
    std::optional<EventLoop::TimerId> timer_;
    OutputQueue output_;
    bool hangUpPending_ = false;  // a reply asked for it; done once the read round ends
};

}  // namespace t720::sim
