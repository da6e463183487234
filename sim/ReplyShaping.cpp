#include "sim/ReplyShaping.h"

#include <algorithm>

namespace t720::sim {

namespace {

using std::chrono::microseconds;

// Printable and free of line feeds, so a reader can tell the flood from an answer.
constexpr std::string_view kFloodPattern = "FLOOD-0123456789-";

std::string Flood(size_t bytes) {
    std::string flood;
    flood.reserve(bytes);
    while (flood.size() < bytes)
        flood.append(kFloodPattern.substr(0, std::min(kFloodPattern.size(), bytes - flood.size())));
    return flood;
}

}  // namespace

std::vector<TimedBytes> ReplyShaper::Shape(const Reply& reply) {
    const TransportFaults& f = reply.faults;
    const auto start = std::chrono::duration_cast<microseconds>(
        std::chrono::duration<double>(f.late ? std::max(0.0, f.lateSeconds) : 0.0));

    std::vector<TimedBytes> out;
    if (f.flood) out.push_back({start, Flood(std::min(f.floodBytes, f.kMaxFloodBytes))});

    std::string body;
    if (f.garbage != TransportFaults::Garbage::Off) body = Garbage();
    if (reply.answer && f.garbage != TransportFaults::Garbage::InsteadOfAnswer)
        body += *reply.answer;
    if (body.empty()) return out;

    if (!f.pieces) {
        out.push_back({start, std::move(body)});
        return out;
    }
    microseconds at = start;
    for (size_t pos = 0; pos < body.size(); at += f.kPieceGap) {
        const size_t size = 1 + (random_() & 1u);
        out.push_back({at, body.substr(pos, size)});
        pos += size;
    }
    return out;
}

// Random bytes with a NUL and a byte above 0x7F always among them (the cases a
// reader most often gets wrong), but never a line feed.
std::string ReplyShaper::Garbage() {
    std::string bytes(TransportFaults::kGarbageBytes, '\0');
    for (char& c : bytes) {
        c = static_cast<char>(random_() & 0xFFu);
        if (c == '\n') c = '\r';
    }
    bytes[1] = '\0';
    bytes[TransportFaults::kGarbageBytes / 2] = static_cast<char>(0x80u | (random_() & 0x7Fu));
    return bytes;
}

}  // namespace t720::sim
