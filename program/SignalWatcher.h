// Turns SIGTERM, SIGINT and SIGHUP into a call on the event loop, so that a logout
// or a kill from a terminal ends the program the way the operator's close does.
#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <functional>
#include <memory>

namespace t720 {

class SignalWatcher : public QObject {
    Q_OBJECT
  public:
    // Installs the handlers; `onSignal` runs on the event loop, once per signal.
    explicit SignalWatcher(std::function<void(int signal)> onSignal, QObject* parent = nullptr);
    ~SignalWatcher() override;

  private:
    std::function<void(int)> onSignal_;
    std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace t720
