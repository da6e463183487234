#pragma once

#include <QSerialPort>
#include <functional>

#include "app/DialogueTrace.h"
#include "link/LineSettings.h"
#include "link/SerialPort.h"

namespace t720 {

// SerialPort on QSerialPort. After opening: DTR asserted (the DMM needs it), RTS
// off, no flow control. The device path of COMn comes from `resolve`. Opening,
// closing and a device that goes away are events of the dialogue trace, on `link`.
class QtSerialPort final : public SerialPort {
  public:
    using Resolver = std::function<std::string(int commPort)>;
    explicit QtSerialPort(Resolver resolve = {}, TraceLink link = TraceLink::T720Serial);
    ~QtSerialPort() override;

    bool SetCommPort(int16_t n) override;
    bool SetSettings(std::string_view settings) override;
    void SetPortOpen(bool open) override;
    bool PortOpen() const override;
    void Output(std::string_view bytes) override;
    int InBufferCount() override;
    std::string Input() override;
    bool WaitForInput(double seconds) override;
    std::string OpenProblem() const override { return openProblem_; }

    // Bytes that Qt may hold for us between reads. Above this the port stops
    // reading from the device, so a flood fills the kernel's buffer, not our memory.
    static constexpr qint64 kReadBufferCap = 64 * 1024;

  private:
    // A device that went away (pty master closed, USB adapter pulled) leaves the
    // port in an error state where every poll returns at once; close it so that
    // nobody spins on it.
    void CloseIfGone();
    void NoteOpenFailure(const std::string& path);

    QSerialPort port_;
    Resolver resolve_;
    int16_t commPort_ = 1;
    LineSettings settings_;
    TraceLink link_;
    std::string path_;         // of the open port
    std::string openProblem_;  // why the last opening failed
    std::string failureKey_;   // the failure and the node it was worked out for
};

}  // namespace t720
