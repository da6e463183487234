// The control socket's requests carried out on the running program. A set goes
// through the very handlers the operator's clicks run, the window shows it, and
// the reply waits for the pass that transmits it and carries that pass's verdict.
// A request the operator could not make now (the panel switched off, no calibrator
// connected, a value the calibrator variant does not have) is refused with its
// reason and changes nothing.
#pragma once

#include <QTimer>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/SharedState.h"
#include "panel/MainPanel.h"
#include "remote/ControlServer.h"
#include "supervision/Supervisor.h"

namespace t720 {

class RemoteDesk {
  public:
    struct Hooks {
        // Why the operator's panel is out of use now; "" while it is in use.
        std::function<std::string()> refusal;
        // A linearity run (or its re-display) is going on; the shunt search runs.
        std::function<bool()> linearityRun;
        std::function<bool()> searching;
        // Shows the panel's model in the window, as after an operator's click.
        std::function<void()> render;
    };

    RemoteDesk(SharedState& state, MainPanel& panel, Supervisor& supervisor, Hooks hooks);

    // Opens the control socket. "" when it serves, else why not.
    std::string Start(const remote::SocketPlace& place);
    const std::string& SocketPath() const { return server_.Path(); }

    // The supervision's word after each pass (Supervisor::SetPassObserver).
    void PassSeen(bool polled);

  private:
    struct Waiting {
        remote::ClientId client;
        bool forConnection;  // wait-connected; otherwise the reply after the next pass
        std::unique_ptr<QTimer> deadline;
    };

    void Handle(remote::ClientId client, const remote::Request& request);
    // "" when the request may change the setting now, else the refusal (a reply line).
    std::string Refusal(const remote::Request& request) const;
    void Apply(remote::ClientId client, const remote::Request& request);
    // A remote beep ends when its time is up or its connection closes, as the
    // button it stands for ends when let go.
    void EndRemoteBeep();
    void Gone(remote::ClientId client);
    void WaitForConnection(remote::ClientId client, double seconds);
    void Forget(remote::ClientId client);
    std::string StatusReply() const;
    std::string VerdictReply() const;
    std::string Meaning() const;

    SharedState& s_;
    MainPanel& panel_;
    Supervisor& sup_;
    Hooks hooks_;
    bool polledOnce_ = false;  // AnswerStatus holds a verdict of a transmission
    std::vector<Waiting> waiting_;
    std::optional<remote::ClientId> beepClient_;  // whose "beep on" holds the beep
    QTimer beepEnd_;
    remote::ControlServer server_;  // last: its replies reach into the members above
};

}  // namespace t720
