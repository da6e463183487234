#include "link/PortList.h"

#include <stdlib.h>

#include <QSerialPortInfo>
#include <algorithm>
#include <filesystem>

namespace t720 {

namespace {

// Where `path` leads, links followed; "" when it leads nowhere.
std::string Resolved(const std::string& path) {
    char* real = realpath(path.c_str(), nullptr);
    if (!real) return {};
    std::string out(real);
    free(real);
    return out;
}

bool Has(const std::vector<int>& v, int n) {
    return std::find(v.begin(), v.end(), n) != v.end();
}

std::string ComText(const PortInfo& p) {
    if (p.com.empty()) return "no COM number";
    std::string text;
    for (const int n : p.com) {
        if (!text.empty()) text += ", ";
        text += "COM" + std::to_string(n);
        if (Has(p.byDefault, n)) text += " (by default)";
    }
    return text;
}

}  // namespace

std::vector<PortInfo> ListPorts(const PortMap& map, const std::string& byIdDirectory) {
    std::vector<PortInfo> ports;
    std::vector<std::string> resolved;  // of each listed port
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        PortInfo p;
        p.device = info.systemLocation().toStdString();
        p.description = info.description().toStdString();
        p.manufacturer = info.manufacturer().toStdString();
        p.serialNumber = info.serialNumber().toStdString();
        ports.push_back(std::move(p));
    }
    std::sort(ports.begin(), ports.end(),
              [](const PortInfo& a, const PortInfo& b) { return a.device < b.device; });
    for (const PortInfo& p : ports) resolved.push_back(Resolved(p.device));

    std::error_code ec;
    for (std::filesystem::directory_iterator it(byIdDirectory, ec), end; !ec && it != end;
         it.increment(ec)) {
        const std::string target = Resolved(it->path().string());
        for (size_t i = 0; i < ports.size(); ++i)
            if (!target.empty() && target == resolved[i] && ports[i].byId.empty())
                ports[i].byId = it->path().string();
    }

    for (int n = 1; n <= kMaxComPort; ++n) {
        const std::string& stored = map[static_cast<size_t>(n)];
        const std::string path = stored.empty() ? DefaultDevicePath(n) : stored;
        const std::string target = Resolved(path);
        auto it = std::find(resolved.begin(), resolved.end(), target);
        PortInfo* port = nullptr;
        if (!target.empty() && it != resolved.end()) {
            port = &ports[static_cast<size_t>(it - resolved.begin())];
        } else if (!stored.empty()) {
            // Named in the settings only: a pseudo-terminal, a link, or a device
            // that is not there now.
            auto named = std::find_if(ports.begin(), ports.end(), [&](const PortInfo& p) {
                return !p.listed && p.device == stored;
            });
            if (named == ports.end()) {
                PortInfo p;
                p.device = stored;
                p.listed = false;
                p.present = !target.empty();
                if (target != stored) p.target = target;
                ports.push_back(std::move(p));
                resolved.push_back({});  // never matched again: keep the indexes aligned
                named = ports.end() - 1;
            }
            port = &*named;
        }
        if (!port) continue;
        port->com.push_back(n);
        if (stored.empty()) port->byDefault.push_back(n);
    }
    return ports;
}

std::string PortListText(const std::vector<PortInfo>& ports) {
    if (ports.empty()) return "No serial ports found.\n";
    std::string out;
    for (const PortInfo& p : ports) {
        out += p.device + ": " + ComText(p);
        if (!p.listed)
            out += !p.present         ? " (missing)"
                   : p.target.empty() ? " (not listed by the system)"
                                      : " (not listed by the system; leads to " + p.target + ")";
        out += '\n';
        auto field = [&](const char* name, const std::string& value) {
            if (!value.empty()) out += std::string("  ") + name + ": " + value + '\n';
        };
        field("stable name", p.byId);
        field("description", p.description);
        field("maker", p.manufacturer);
        field("serial number", p.serialNumber);
    }
    return out;
}

std::string PreferredPath(const PortInfo& port) {
    return port.byId.empty() ? port.device : port.byId;
}

PortMap ChosenPortMap(const std::vector<PortInfo>& ports, const std::vector<int>& choice,
                      const PortMap& stored) {
    PortMap out;
    const size_t rows = std::min(ports.size(), choice.size());
    for (int n = 1; n <= kMaxComPort; ++n) {
        std::string& entry = out[static_cast<size_t>(n)];
        for (size_t i = 0; i < rows; ++i) {
            const PortInfo& port = ports[i];
            if (choice[i] == n) {
                entry = Has(port.com, n) ? stored[static_cast<size_t>(n)] : PreferredPath(port);
                break;
            }
            // A port named by several numbers shows its first; while that stays,
            // the others stay too.
            if (Has(port.com, n) && !port.com.empty() && choice[i] == port.com.front() &&
                std::find(choice.begin(), choice.end(), n) == choice.end())
                entry = stored[static_cast<size_t>(n)];
        }
    }
    return out;
}

}  // namespace t720
