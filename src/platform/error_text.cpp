// The one line of an error's text, the same on every platform: only the
// system's own text (SystemErrorText) differs.
#include "platform/error_text.h"

#include <algorithm>

#include "platform/file_read.h"

namespace platform {

std::string ErrorText(int32_t code) {
    std::string text = SystemErrorText(code);
    text.resize(std::min(text.size(), text.find_first_of("\r\n")));
    while (!text.empty() && (text.back() == ' ' || text.back() == '.')) {
        text.pop_back();
    }
    return text.empty() ? "error " + std::to_string(code) : text;
}

}  // namespace platform
