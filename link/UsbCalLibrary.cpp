#include "link/UsbCalLibrary.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibrary>
#include <algorithm>
#include <vector>

#include "app/DialogueTrace.h"

namespace t720 {

namespace {

#if defined(_WIN32) && !defined(_WIN64)
#define T720_LIBCALL __stdcall
#else
#define T720_LIBCALL
#endif

using CalCommandFn = int32_t(T720_LIBCALL*)(int32_t, char*, char*, int32_t*);
using GetUSBDeviceInfoFn = int32_t(T720_LIBCALL*)(int32_t*, char*, int32_t*, char*, int32_t*, char*,
                                                  int32_t*, char*, int32_t*);

// A caller-owned, zero-filled buffer holding `text`, with room to spare behind it.
std::vector<char> Buffer(const std::string& text, size_t spare) {
    std::vector<char> buf(std::max(kUsbBufferSize, text.size() + spare), '\0');
    std::copy(text.begin(), text.end(), buf.begin());
    return buf;
}

// The text up to the first NUL, never beyond the buffer.
std::string UpToNul(const std::vector<char>& buf) {
    const auto end = std::find(buf.begin(), buf.end(), '\0');
    return std::string(buf.begin(), end);
}

// The first `length` characters, as the library's length variable says, never more
// than the buffer holds and never past a NUL; "(null)" marks an absent text.
std::string FirstChars(const std::vector<char>& buf, int32_t length) {
    const size_t n = std::min(buf.size(), static_cast<size_t>(std::max<int32_t>(length, 0)));
    std::string text(buf.begin(), buf.begin() + static_cast<std::ptrdiff_t>(n));
    text.resize(std::min(text.size(), text.find('\0')));
    if (text == "(null)") text.clear();
    return text;
}

class LoadedUsbCalLibrary final : public UsbCalLibrary {
  public:
    explicit LoadedUsbCalLibrary(UsbLibrarySearch search) : search_(std::move(search)) {}

    std::optional<int32_t> CalCommand(int32_t device, std::string& id, std::string& command,
                                      int32_t& count) override {
        if (!Load()) return std::nullopt;
        std::vector<char> idBuf = Buffer(id, 1);
        std::vector<char> cmdBuf = Buffer(command, 1);
        if (DialogueTrace::Active())
            TraceSent(TraceLink::T720Usb, command,
                      "device " + std::to_string(device) + " id " + TraceQuoted(id));
        const int32_t result = calCommand_(device, idBuf.data(), cmdBuf.data(), &count);
        id = UpToNul(idBuf);
        command = UpToNul(cmdBuf);
        if (DialogueTrace::Active())
            TraceReceived(TraceLink::T720Usb, command,
                          "result " + std::to_string(result) + " count " + std::to_string(count));
        return result;
    }

    std::optional<int32_t> GetUSBDeviceInfo(const std::string& serialPrefix,
                                            const std::string& identPrefix,
                                            DeviceInfo& info) override {
        if (!Load()) return std::nullopt;
        // The prefixes are followed by 200 NUL characters.
        std::vector<char> serial = Buffer(serialPrefix, 201);
        std::vector<char> text2 = Buffer({}, 201);
        std::vector<char> text3 = Buffer({}, 201);
        std::vector<char> ident = Buffer(identPrefix, 201);
        // The length variables go in holding the room each buffer has.
        auto room = [](const std::vector<char>& b) { return static_cast<int32_t>(b.size() - 1); };
        int32_t serialLen = room(serial), len2 = room(text2), len3 = room(text3),
                identLen = room(ident);
        info.n1 = 0;
        DialogueTrace* trace = DialogueTrace::Active();
        if (trace)
            trace->Line(TraceLink::T720Usb, '>',
                        "GetUSBDeviceInfo serial " + TraceQuoted(serialPrefix) + " ident " +
                            TraceQuoted(identPrefix));
        const int32_t status = getDeviceInfo_(&info.n1, serial.data(), &serialLen, text2.data(),
                                              &len2, text3.data(), &len3, ident.data(), &identLen);
        info.serial = FirstChars(serial, serialLen);
        info.text2 = FirstChars(text2, len2);
        info.text3 = FirstChars(text3, len3);
        info.ident = FirstChars(ident, identLen);
        if (trace)
            trace->Line(TraceLink::T720Usb, '<',
                        "GetUSBDeviceInfo status " + std::to_string(status) + " serial " +
                            TraceQuoted(info.serial) + " ident " + TraceQuoted(info.ident));
        return status;
    }

  private:
    bool Load() {
        if (calCommand_ && getDeviceInfo_) return true;
        for (const QString& candidate : Candidates()) {
            library_.unload();
            library_.setFileName(candidate);
            if (!library_.load()) continue;
            calCommand_ = reinterpret_cast<CalCommandFn>(library_.resolve("CalCommand"));
            getDeviceInfo_ =
                reinterpret_cast<GetUSBDeviceInfoFn>(library_.resolve("GetUSBDeviceInfo"));
            if (calCommand_ && getDeviceInfo_) {
                TraceEvent(TraceLink::T720Usb, "library " + library_.fileName().toStdString());
                return true;
            }
            calCommand_ = nullptr;
            getDeviceInfo_ = nullptr;
        }
        library_.unload();
        return false;
    }

    std::vector<QString> Candidates() const {
        std::vector<QString> out;
        if (!search_.overridePath.empty()) {
            // The override is a full path; a relative one would depend on the
            // current directory, which is never searched.
            const QString path = QString::fromStdString(search_.overridePath);
            if (QFileInfo(path).isAbsolute()) out.push_back(path);
        }
        if (!search_.programDir.empty())
            out.push_back(QDir(QString::fromStdString(search_.programDir))
                              .absoluteFilePath(QString::fromLatin1(UsbLibraryFileName())));
        // A bare file name goes to the system's search (dlopen / LoadLibrary rules).
        out.push_back(QString::fromLatin1(UsbLibraryFileName()));
        return out;
    }

    UsbLibrarySearch search_;
    QLibrary library_;
    CalCommandFn calCommand_ = nullptr;
    GetUSBDeviceInfoFn getDeviceInfo_ = nullptr;
};

}  // namespace

const char* UsbLibraryFileName() {
#ifdef _WIN32
    return "zorusbcal.dll";
#else
    return "libzorusbcal.so";
#endif
}

UsbLibrarySearch UsbLibrarySearch::FromEnvironment() {
    UsbLibrarySearch s;
    s.overridePath = qEnvironmentVariable("T720_USBCAL_LIBRARY").toStdString();
    if (QCoreApplication::instance())
        s.programDir = QCoreApplication::applicationDirPath().toStdString();
    return s;
}

std::unique_ptr<UsbCalLibrary> MakeLoadedUsbCalLibrary(UsbLibrarySearch search) {
    return std::make_unique<LoadedUsbCalLibrary>(std::move(search));
}

}  // namespace t720
