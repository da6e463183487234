#include "linearity/DmmLink.h"

#include "app/Wait.h"
#include "link/LineTransport.h"

namespace t720 {

DmmLink::DmmLink(SerialPort& comm2, Clock& clock) : port_(comm2), clock_(clock) {}

bool DmmLink::InitHP() {
    port_.SetCommPort(1);
    port_.SetSettings("9600,N,8,1");
    port_.SetPortOpen(true);
    if (!port_.PortOpen()) return false;
    Wait(0.3f, clock_);
    WriteLineHP("SYST:REM");
    Wait(0.1f, clock_);
    WriteLineHP("SYST:ERR?");
    ReadLineHP();
    Wait(0.1f, clock_);
    WriteLineHP("SYST:ERR?");
    ReadLineHP();
    return true;
}

void DmmLink::LocalHP() {
    Wait(0.1f, clock_);
    WriteLineHP("SYST:LOC");
    Wait(0.1f, clock_);
    port_.SetPortOpen(false);
}

void DmmLink::WriteLineHP(std::string_view cmd) {
    WriteLine(port_, cmd, TraceLink::Dmm);
}

std::string DmmLink::ReadLineHP() {
    return ReadLine(port_, clock_, kDmmTimeout, TraceLink::Dmm, &received_);
}

std::string DmmLink::ReadHP(std::string_view cmd) {
    WriteLineHP(cmd);
    return ReadLineHP();
}

}  // namespace t720
