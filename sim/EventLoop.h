// The bench's one event loop: file descriptors with callbacks, one-shot timers and
// tasks handed in from other threads, all run on a single thread that sleeps in
// ppoll() until a descriptor is ready, a timer is due or a task arrives.
//
// Endpoints (a pseudo-terminal, later a local socket) are small classes that
// register their descriptors and timers here; the loop knows nothing about them.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

namespace t720::sim {

class EventLoop {
  public:
    using Clock = std::chrono::steady_clock;
    using FdCallback = std::function<void(short revents)>;
    using Task = std::function<void()>;
    using WatchId = uint64_t;
    using TimerId = uint64_t;

    EventLoop();
    ~EventLoop();
    EventLoop(const EventLoop&) = delete;
    EventLoop& operator=(const EventLoop&) = delete;

    // --- Loop thread only (or while the loop is not running) ---

    // Calls `callback` with the returned events whenever `fd` reports any of
    // `events` (POLLHUP and POLLERR are always reported). The callback must remove
    // or change the watch if the condition persists, or the loop would spin.
    WatchId Watch(int fd, short events, FdCallback callback);
    void SetEvents(WatchId id, short events);
    void Unwatch(WatchId id);

    TimerId AddTimer(Clock::time_point due, Task task);
    void CancelTimer(TimerId id);

    // Runs on the calling thread until Quit(). Tasks posted meanwhile run in order.
    void Run();
    // Starts Run() on a new thread; the loop counts as running from this call on,
    // so tasks posted before the thread gets going wait for it.
    std::thread RunOnNewThread();

    // --- Any thread ---

    // Makes Run() return after the current iteration.
    void Quit();
    // Runs `task` on the loop thread and waits for it; exceptions come back to the
    // caller. Runs it at once when called on the loop thread or while the loop is
    // not running.
    void Call(const Task& task);

  private:
    struct FdWatch {
        int fd;
        short events;
        FdCallback callback;
    };

    void Loop();
    void Wake();
    void DrainWake();
    void RunPostedTasks();
    void RunDueTimers();
    // ppoll time-out until the next timer is due; nullptr (wait without limit) when none.
    const struct timespec* TimeoutToNextTimer(struct timespec& storage) const;

    int wakeFd_;  // eventfd: tasks and Quit() write it so that ppoll returns

    // Loop-thread state.
    std::map<WatchId, FdWatch> watches_;
    std::map<std::pair<Clock::time_point, TimerId>, Task> timers_;
    std::map<TimerId, Clock::time_point> timerDue_;
    uint64_t nextId_ = 1;

    // Shared with other threads.
    std::mutex mutex_;
    std::vector<Task> posted_;
    bool running_ = false;
    bool quit_ = false;
    std::thread::id loopThread_;
};

}  // namespace t720::sim
