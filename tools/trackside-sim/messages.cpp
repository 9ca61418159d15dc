#include "trackside-sim/messages.h"

#include <cstdio>

#include "common/xml_text.h"

namespace sim {

std::string TimeText(const std::tm& time) {
    char text[80];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", time.tm_year + 1900,
                  time.tm_mon + 1, time.tm_mday, time.tm_hour, time.tm_min, time.tm_sec);
    return text;
}

// The application's own way to the key of its result files. The daemon derives
// the key from the message by a rule of its own (MakeTrainKey); the two are
// kept apart on purpose, so that the end-to-end tests would see the daemon
// looking for files under another name.
std::string TrainKey(const std::string& timeText) {
    std::string key;
    key.reserve(timeText.size());
    for (char c : timeText) {
        if (c != ' ' && c != '-' && c != ':') {
            key += c;
        }
    }
    return key;
}

std::string HandshakeMessage(const std::string& timeText, int64_t sequence) {
    return "<handshake><time>" + tools::EscapeXmlText(timeText) + "</time><seq>" +
           std::to_string(sequence) + "</seq></handshake>";
}

std::string TrainMessage(const std::string& timeText, int vehicles, const std::string& serial) {
    std::string message = "<train><time>" + tools::EscapeXmlText(timeText) + "</time>";
    for (int id = 1; id <= vehicles; ++id) {
        message += "<vagen id=\"" + std::to_string(id) + "\">";
        if (id > 1) {
            message +=
                "<serial>" + tools::EscapeXmlText(serial) + "-" + std::to_string(id) + "</serial>";
        } else if (!serial.empty()) {
            message += "<serial>" + tools::EscapeXmlText(serial) + "</serial>";
        }
        message += "</vagen>";
    }
    return message + "</train>";
}

std::string GarbageBytes(uint32_t* state, size_t length) {
    std::string bytes(length, '\0');
    uint32_t x = *state != 0 ? *state : 0x9E3779B9u;
    for (size_t i = 0; i < length; ++i) {
        // xorshift32: cheap, and the same bytes for the same seed.
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        char c = static_cast<char>(x & 0xFF);
        bytes[i] = c == '<' ? '>' : c;
    }
    *state = x;
    return bytes;
}

}  // namespace sim
