// Any bytes as a control request line: the reader never crashes, every fault
// has its code and message, a request it takes is written back into a line
// it reads the same, and any bytes as an answer line never crash zelkctl's
// reader.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "supervision/control_protocol.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view line(reinterpret_cast<const char*>(data), size);
    const ParsedRequest parsed = ParseControlRequest(line);
    if (parsed.fault != RequestFault::kNone) {
        FUZZ_CHECK(!parsed.message.empty());
        FUZZ_CHECK(*RequestFaultCode(parsed.fault) != '\0');
    } else {
        const std::string again = FormatControlRequest(parsed.request);
        FUZZ_CHECK(again.find('\n') == std::string::npos);
        const ParsedRequest back = ParseControlRequest(again);
        FUZZ_CHECK(back.fault == RequestFault::kNone);
        FUZZ_CHECK(back.request.op == parsed.request.op);
        FUZZ_CHECK(back.request.app == parsed.request.app);
        FUZZ_CHECK(back.request.reason == parsed.request.reason);
        FUZZ_CHECK(back.request.seconds == parsed.request.seconds);
        FUZZ_CHECK(back.request.dryRun == parsed.request.dryRun);
    }
    ControlAnswer answer;
    (void)ParseControlAnswer(line, &answer);
    return 0;
}
