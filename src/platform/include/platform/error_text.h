// The system's error codes in words, for log lines, event texts and what
// zelkctl tells the operator.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

// The system's text for the error `code` (LastErrorCode, LastSocketError) on
// one line, without its final full stop; "error <code>" when the system has
// no text for it (Wine has none for several socket errors) or one too long.
std::string ErrorText(int32_t code);

}  // namespace platform
