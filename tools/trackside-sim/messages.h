// The texts the simulator sends: "handshake" and "train" messages as the
// supervisor reads them, and garbage for the fault mode.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>

namespace sim {

// "2026-12-08 14:03:27" from a broken-down local time.
std::string TimeText(const std::tm& time);

// The key that names a train's result files: the time text with every blank,
// hyphen and colon removed, the rest kept in order.
std::string TrainKey(const std::string& timeText);

// One heartbeat, ending with "</handshake>" and nothing after it.
std::string HandshakeMessage(const std::string& timeText, int64_t sequence);

// One train, ending with "</train>": its "time", then one "vagen" per vehicle
// with "id" 1, 2, ... and a "serial" child. Vehicle 1 carries `serial`
// (none when it is empty); the others carry `serial` followed by "-" and
// their id.
std::string TrainMessage(const std::string& timeText, int vehicles, const std::string& serial);

// `length` pseudo-random bytes from `*state` (advanced), zero bytes included
// but never "<", so that no closing tag can ever be formed.
std::string GarbageBytes(uint32_t* state, size_t length);

}  // namespace sim
