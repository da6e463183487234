// The dialogue trace: every line that goes to or comes from the calibrator (on its
// serial line or through the USB library) and the DMM, with a monotonic time stamp,
// the link and the direction, in a file for whoever chases a flaky cable.
//
// Off unless switched on (the main window's context menu, or T720_TRACE=1). While
// off, a traced line costs one test of a pointer. While on, each record is one
// write to the file, so a trace survives a crash. The file is bounded: at its size
// limit it becomes "<name>.1" (the older ones move up by one, the oldest is
// dropped) and a new file begins. The file is the user's alone (0600, in a folder
// of the user's that others cannot write, never reached through a symbolic link).
//
// A record that cannot be written whole (a full disk) is cut off again, so the
// file only ever holds whole records; the first record that gets through again is
// preceded by how many were lost:
//
//   # 212 lines lost from 12346.300000 to 12391.001007: No space left on device
//
// A record:
//
//   12345.678901 t720-com > "K1A 0 5 1 0\n"
//   12345.681220 t720-com < "0\r\n"
//   12345.983004 dmm-com < "+1.2" time-out
//   12346.012345 t720-usb < "0" result 0 count 1
//   12346.100000 t720-com # open /dev/ttyUSB0 (COM3)
//
// Seconds on the system's monotonic clock (the header line of every file gives the
// wall-clock time it corresponds to), the link, ">" to the device, "<" from it, "#"
// for an event, and the bytes quoted: printable ASCII as it is, \" \\ \r \n \t, and
// every other byte as \xNN. A line cut at the serial line reader's cap is recorded
// as it was kept (shortened here), then how much more came, before any time-out:
//
//   12346.200000 t720-com < "FLOODFLOOD" 4190208 bytes beyond 4096 dropped
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace t720 {

enum class TraceLink { T720Serial, T720Usb, Dmm };

const char* TraceLinkName(TraceLink link);  // "t720-com", "t720-usb", "dmm-com"

class DialogueTrace {
  public:
    struct Limits {
        uint64_t fileBytes = 8u << 20;  // a file is rotated before it grows beyond this
        int olderFiles = 4;             // rotated files kept beside the current one
    };
    inline static const char* const kFileName = "t720-dialogue.log";

    DialogueTrace(std::filesystem::path directory, Limits limits);
    ~DialogueTrace();
    DialogueTrace(const DialogueTrace&) = delete;
    DialogueTrace& operator=(const DialogueTrace&) = delete;

    // False when the file could not be opened; nothing is recorded then.
    bool Ok() const { return fd_ >= 0; }
    const std::filesystem::path& File() const { return path_; }

    // One record: `bytes` quoted, then `tail` as it is (may be empty).
    void Record(TraceLink link, char direction, std::string_view bytes, std::string_view tail = {});
    // One record of `text` as it is ("#" for an event).
    void Line(TraceLink link, char direction, std::string_view text);

    // The process-wide trace; nullptr while it is off.
    static DialogueTrace* Active() { return active_.get(); }
    // Switches it on, writing into `directory` (made 0700 if missing). False, and
    // off, when the file cannot be opened there; Problem() then says why.
    static bool Start(const std::filesystem::path& directory, Limits limits);
    static bool Start(const std::filesystem::path& directory) { return Start(directory, Limits{}); }
    static void Stop() { active_.reset(); }
    static const std::string& Problem() { return problem_; }

    // Told once when records begin to be lost, and once when they are written
    // again (a short note for the operator).
    static void SetNotice(std::function<void(const std::string&)> notice) {
        notice_ = std::move(notice);
    }

  private:
    void Open();
    void Rotate();
    void Write(const std::string& record);
    void Close();

    std::filesystem::path path_;
    Limits limits_;
    int dirFd_ = -1;
    int fd_ = -1;
    uint64_t size_ = 0;  // the whole records in the file
    std::string why_;
    uint64_t lost_ = 0;                         // records lost since the last one written
    double lostSince_ = 0.0, lostUntil_ = 0.0;  // when the first and the last were lost
    std::string lostWhy_;

    inline static std::unique_ptr<DialogueTrace> active_;
    inline static std::string problem_;
    inline static std::function<void(const std::string&)> notice_;
};

// Where the trace is written: $XDG_STATE_HOME/ZORTorT720, or
// <home>/.local/state/ZORTorT720; empty when the user has no home folder.
std::filesystem::path DefaultTraceDirectory();
// True when T720_TRACE is set to anything but "" or "0".
bool TraceWantedByEnvironment();

// The hooks of the line readers, writers and library calls.
inline void TraceSent(TraceLink link, std::string_view bytes, std::string_view tail = {}) {
    if (DialogueTrace* t = DialogueTrace::Active()) t->Record(link, '>', bytes, tail);
}
inline void TraceReceived(TraceLink link, std::string_view bytes, std::string_view tail = {}) {
    if (DialogueTrace* t = DialogueTrace::Active()) t->Record(link, '<', bytes, tail);
}
inline void TraceEvent(TraceLink link, std::string_view text) {
    if (DialogueTrace* t = DialogueTrace::Active()) t->Line(link, '#', text);
}
// `bytes` quoted as in a record.
std::string TraceQuoted(std::string_view bytes);

}  // namespace t720
