#include "sim/EventLoop.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <future>
#include <system_error>

namespace t720::sim {

EventLoop::EventLoop() : wakeFd_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
    if (wakeFd_ < 0) throw std::system_error(errno, std::generic_category(), "eventfd");
}

EventLoop::~EventLoop() {
    close(wakeFd_);
}

EventLoop::WatchId EventLoop::Watch(int fd, short events, FdCallback callback) {
    const WatchId id = nextId_++;
    watches_.emplace(id, FdWatch{fd, events, std::move(callback)});
    return id;
}

void EventLoop::SetEvents(WatchId id, short events) {
    const auto it = watches_.find(id);
    if (it != watches_.end()) it->second.events = events;
}

void EventLoop::Unwatch(WatchId id) {
    watches_.erase(id);
}

EventLoop::TimerId EventLoop::AddTimer(Clock::time_point due, Task task) {
    const TimerId id = nextId_++;
    timers_.emplace(std::make_pair(due, id), std::move(task));
    timerDue_.emplace(id, due);
    return id;
}

void EventLoop::CancelTimer(TimerId id) {
    const auto it = timerDue_.find(id);
    if (it == timerDue_.end()) return;
    timers_.erase(std::make_pair(it->second, id));
    timerDue_.erase(it);
}

void EventLoop::Run() {
    {
        std::lock_guard lock(mutex_);
        running_ = true;
        quit_ = false;
    }
    Loop();
}

std::thread EventLoop::RunOnNewThread() {
    {
        std::lock_guard lock(mutex_);
        running_ = true;
        quit_ = false;
    }
    return std::thread([this] { Loop(); });
}

void EventLoop::Quit() {
    {
        std::lock_guard lock(mutex_);
        quit_ = true;
    }
    Wake();
}

void EventLoop::Call(const Task& task) {
    std::promise<void> done;
    std::future<void> finished = done.get_future();
    {
        std::lock_guard lock(mutex_);
        if (running_ && loopThread_ != std::this_thread::get_id()) {
            posted_.push_back([&task, &done] {
                try {
                    task();
                    done.set_value();
                } catch (...) {
                    done.set_exception(std::current_exception());
                }
            });
        } else {
            finished = {};
        }
    }
    if (!finished.valid()) {
        task();
        return;
    }
    Wake();
    finished.get();
}

void EventLoop::Loop() {
    {
        std::lock_guard lock(mutex_);
        loopThread_ = std::this_thread::get_id();
    }
    std::vector<pollfd> fds;
    std::vector<WatchId> ids;
    for (;;) {
        RunPostedTasks();
        RunDueTimers();
        {
            std::lock_guard lock(mutex_);
            if (quit_) break;
        }
        fds.assign(1, pollfd{wakeFd_, POLLIN, 0});
        ids.clear();
        for (const auto& [id, watch] : watches_) {
            fds.push_back(pollfd{watch.fd, watch.events, 0});
            ids.push_back(id);
        }
        timespec storage{};
        if (ppoll(fds.data(), fds.size(), TimeoutToNextTimer(storage), nullptr) < 0) {
            if (errno == EINTR) continue;
            throw std::system_error(errno, std::generic_category(), "ppoll");
        }
        if (fds[0].revents != 0) DrainWake();
        for (size_t i = 1; i < fds.size(); ++i) {
            if (fds[i].revents == 0) continue;
            // An earlier callback of this round may have removed or replaced the watch.
            const auto it = watches_.find(ids[i - 1]);
            if (it == watches_.end() || it->second.fd != fds[i].fd) continue;
            if (fds[i].revents & POLLNVAL) {
                // A descriptor closed behind the loop's back would report this forever.
                watches_.erase(it);
                continue;
            }
            const FdCallback callback = it->second.callback;  // it may unwatch itself
            callback(fds[i].revents);
        }
    }
    // Tasks posted while the loop was ending still run here, so that no caller of
    // Call() is left waiting; only then does the loop stop counting as running.
    for (;;) {
        std::vector<Task> left;
        {
            std::lock_guard lock(mutex_);
            if (posted_.empty()) {
                running_ = false;
                loopThread_ = {};
                return;
            }
            left.swap(posted_);
        }
        for (const Task& task : left) task();
    }
}

void EventLoop::Wake() {
    const uint64_t one = 1;
    // A full counter (never in practice) already means "wake up".
    [[maybe_unused]] const ssize_t n = write(wakeFd_, &one, sizeof one);
}

void EventLoop::DrainWake() {
    uint64_t count = 0;
    [[maybe_unused]] const ssize_t n = read(wakeFd_, &count, sizeof count);
}

void EventLoop::RunPostedTasks() {
    std::vector<Task> tasks;
    {
        std::lock_guard lock(mutex_);
        tasks.swap(posted_);
    }
    for (const Task& task : tasks) task();
}

void EventLoop::RunDueTimers() {
    const Clock::time_point now = Clock::now();
    while (!timers_.empty() && timers_.begin()->first.first <= now) {
        const auto first = timers_.begin();
        const Task task = std::move(first->second);
        timerDue_.erase(first->first.second);
        timers_.erase(first);
        task();
    }
}

const timespec* EventLoop::TimeoutToNextTimer(timespec& storage) const {
    if (timers_.empty()) return nullptr;
    const auto left = timers_.begin()->first.first - Clock::now();
    const auto ns =
        std::max<int64_t>(0, std::chrono::duration_cast<std::chrono::nanoseconds>(left).count());
    storage.tv_sec = static_cast<time_t>(ns / 1000000000);
    storage.tv_nsec = static_cast<long>(ns % 1000000000);
    return &storage;
}

}  // namespace t720::sim
