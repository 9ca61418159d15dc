// Any bytes as a status snapshot file, as zelkctl status reads it: the
// reader refuses them with a one-line reason, or what it takes gives an exit
// code and a report at any time of the clock, and written out again reads
// back the same. The sanitizers catch any value taken that does not fit.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_check.h"
#include "platform/system.h"
#include "supervision/status_snapshot.h"
#include "zelkctl/status_view.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    StatusSnapshot snapshot;
    std::string error;
    if (!ParseStatus(text, &snapshot, &error)) {
        FUZZ_CHECK(!error.empty() && error.find('\n') == std::string::npos);
        return 0;
    }
    FUZZ_CHECK(snapshot.apps.size() <= 20);
    for (const int64_t now : {int64_t{0}, int64_t{1800000000}, kMaxStatusTime}) {
        const int code = zelkctl::StatusExitCode(snapshot, now);
        FUZZ_CHECK(code >= zelkctl::kStatusOk && code <= zelkctl::kStatusCritical);
        FUZZ_CHECK(!zelkctl::StatusReport(snapshot, "zelk.prom", now, platform::LocalTime).empty());
    }
    const std::string again = FormatStatus(snapshot);
    StatusSnapshot reread;
    FUZZ_CHECK(ParseStatus(again, &reread, &error));
    FUZZ_CHECK(FormatStatus(reread) == again);
    return 0;
}
