#include "link/QtSerialPort.h"

#include <cmath>

#include "link/PortMapping.h"
#include "link/PortProblem.h"

namespace t720 {

namespace {

QSerialPort::Parity ToQt(LineSettings::Parity p) {
    switch (p) {
        case LineSettings::Parity::Even:
            return QSerialPort::EvenParity;
        case LineSettings::Parity::Odd:
            return QSerialPort::OddParity;
        case LineSettings::Parity::Mark:
            return QSerialPort::MarkParity;
        case LineSettings::Parity::Space:
            return QSerialPort::SpaceParity;
        case LineSettings::Parity::None:
            break;
    }
    return QSerialPort::NoParity;
}

QSerialPort::StopBits ToQt(LineSettings::StopBits s) {
    switch (s) {
        case LineSettings::StopBits::OneAndHalf:
            return QSerialPort::OneAndHalfStop;
        case LineSettings::StopBits::Two:
            return QSerialPort::TwoStop;
        case LineSettings::StopBits::One:
            break;
    }
    return QSerialPort::OneStop;
}

}  // namespace

QtSerialPort::QtSerialPort(Resolver resolve, TraceLink link)
    : resolve_(resolve ? std::move(resolve) : Resolver(&SerialDevicePath)), link_(link) {
    // The error can arrive from a read notification while the event loop runs
    // between two exchanges; close on the next loop iteration, outside Qt's handler.
    QObject::connect(
        &port_, &QSerialPort::errorOccurred, &port_,
        [this](QSerialPort::SerialPortError e) {
            if (e == QSerialPort::ResourceError) CloseIfGone();
        },
        Qt::QueuedConnection);
}

QtSerialPort::~QtSerialPort() {
    port_.close();
}

bool QtSerialPort::SetCommPort(int16_t n) {
    if (port_.isOpen() || n < 1) return false;
    commPort_ = n;
    return true;
}

bool QtSerialPort::SetSettings(std::string_view settings) {
    const auto parsed = ParseLineSettings(settings);
    if (!parsed) return false;
    settings_ = *parsed;
    if (port_.isOpen()) {
        port_.setBaudRate(settings_.baud);
        port_.setParity(ToQt(settings_.parity));
        port_.setDataBits(static_cast<QSerialPort::DataBits>(settings_.dataBits));
        port_.setStopBits(ToQt(settings_.stopBits));
    }
    return true;
}

void QtSerialPort::SetPortOpen(bool open) {
    if (!open) {
        if (port_.isOpen()) TraceEvent(link_, "close " + path_);
        port_.close();
        return;
    }
    if (port_.isOpen()) return;
    const std::string path = resolve_(commPort_);
    port_.setPortName(QString::fromStdString(path));
    port_.setBaudRate(settings_.baud);
    port_.setParity(ToQt(settings_.parity));
    port_.setDataBits(static_cast<QSerialPort::DataBits>(settings_.dataBits));
    port_.setStopBits(ToQt(settings_.stopBits));
    port_.setFlowControl(QSerialPort::NoFlowControl);
    port_.setReadBufferSize(kReadBufferCap);
    if (!port_.open(QIODevice::ReadWrite)) {
        NoteOpenFailure(path);
        return;
    }
    openProblem_.clear();
    failureKey_.clear();
    path_ = path;
    TraceEvent(link_, "open " + path + " (COM" + std::to_string(commPort_) + ")");
    // Modem lines: a pseudo-terminal has none and refuses; that is not a failure.
    port_.setDataTerminalReady(true);
    port_.setRequestToSend(false);
    port_.clearError();
}

bool QtSerialPort::PortOpen() const {
    return port_.isOpen();
}

void QtSerialPort::Output(std::string_view bytes) {
    if (!port_.isOpen()) return;
    port_.write(bytes.data(), static_cast<qint64>(bytes.size()));
    // Push the bytes to the device now: the caller usually blocks next (a pause or
    // a read), and nothing else would give Qt a chance to write them.
    port_.flush();
    CloseIfGone();
}

int QtSerialPort::InBufferCount() {
    if (!port_.isOpen()) return 0;
    if (port_.bytesAvailable() == 0) {
        // Take up what the device has delivered without running the event loop.
        port_.waitForReadyRead(0);
        CloseIfGone();
        if (!port_.isOpen()) return 0;
    }
    return static_cast<int>(port_.bytesAvailable());
}

std::string QtSerialPort::Input() {
    if (!port_.isOpen()) return {};
    const QByteArray data = port_.readAll();
    return std::string(data.constData(), static_cast<size_t>(data.size()));
}

bool QtSerialPort::WaitForInput(double seconds) {
    if (!port_.isOpen()) return false;
    if (port_.bytesAvailable() > 0) return true;
    const int msecs = seconds <= 0.0 ? 0 : static_cast<int>(std::ceil(seconds * 1000.0));
    const bool ready = port_.waitForReadyRead(msecs);
    CloseIfGone();
    return ready && port_.isOpen() && port_.bytesAvailable() > 0;
}

void QtSerialPort::CloseIfGone() {
    if (!port_.isOpen()) return;
    const auto e = port_.error();
    if (e == QSerialPort::ResourceError || e == QSerialPort::ReadError ||
        e == QSerialPort::WriteError) {
        TraceEvent(link_, "device gone: " + port_.errorString().toStdString() + "; closed");
        port_.close();
    }
}

void QtSerialPort::NoteOpenFailure(const std::string& path) {
    // A failed port is tried again on every pass. The reason is worked out again
    // (names of user and group looked up, which may ask a directory service) only
    // when the failure or the node has changed, and the trace hears of it then.
    const auto e = port_.error();
    const OpenFailure failure = e == QSerialPort::DeviceNotFoundError ? OpenFailure::NotFound
                                : e == QSerialPort::PermissionError   ? OpenFailure::Denied
                                                                      : OpenFailure::Other;
    std::string key = std::to_string(static_cast<int>(failure)) + ' ' + DeviceNodeKey(path);
    if (key == failureKey_) return;
    failureKey_ = std::move(key);
    openProblem_ =
        OpenProblemText(path, failure, InspectDeviceNode(path), port_.errorString().toStdString());
    TraceEvent(link_, "cannot open COM" + std::to_string(commPort_) + ": " + openProblem_);
}

}  // namespace t720
