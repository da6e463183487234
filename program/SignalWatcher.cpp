#include "program/SignalWatcher.h"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

namespace t720 {

namespace {

int g_pipe[2] = {-1, -1};

extern "C" void OnSignal(int sig) {
    // Only what is safe in a signal handler: one byte into the pipe.
    const int saved = errno;
    const unsigned char byte = static_cast<unsigned char>(sig);
    [[maybe_unused]] const ssize_t n = write(g_pipe[1], &byte, 1);
    errno = saved;
}

}  // namespace

SignalWatcher::SignalWatcher(std::function<void(int)> onSignal, QObject* parent)
    : QObject(parent), onSignal_(std::move(onSignal)) {
    if (g_pipe[0] < 0 && pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
    notifier_ = std::make_unique<QSocketNotifier>(g_pipe[0], QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, [this] {
        unsigned char byte = 0;
        while (read(g_pipe[0], &byte, 1) == 1)
            if (onSignal_) onSignal_(byte);
    });
    struct sigaction sa {};
    sa.sa_handler = OnSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    for (int sig : {SIGTERM, SIGINT, SIGHUP}) sigaction(sig, &sa, nullptr);
    // Under a file-size limit (ulimit -f) a write beyond it must fail with EFBIG,
    // which the dialogue trace and the records report, instead of killing the
    // program before it has kept the operator's settings.
    signal(SIGXFSZ, SIG_IGN);
}

SignalWatcher::~SignalWatcher() {
    struct sigaction sa {};
    sa.sa_handler = SIG_DFL;
    sigemptyset(&sa.sa_mask);
    for (int sig : {SIGTERM, SIGINT, SIGHUP}) sigaction(sig, &sa, nullptr);
    // Under a file-size limit (ulimit -f) a write beyond it must fail with EFBIG,
    // which the dialogue trace and the records report, instead of killing the
    // program before it has kept the operator's settings.
    signal(SIGXFSZ, SIG_IGN);
}

}  // namespace t720
