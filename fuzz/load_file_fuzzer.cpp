// Any bytes as a file through LoadFile: byte-order marks, declared encodings,
// zero bytes, odd 16-bit lengths and conversion, then the parse. The bytes are
// written to one temporary file that is reused for every input.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz_check.h"
#include "markup/markup.h"
#include "markup/result_report.h"

namespace {

std::string g_path;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    char pattern[] = "/tmp/zelk-fuzz-load-XXXXXX";
    const int fd = mkstemp(pattern);
    FUZZ_CHECK(fd >= 0);
    close(fd);
    g_path = pattern;
    std::atexit([] { std::remove(g_path.c_str()); });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::FILE* file = std::fopen(g_path.c_str(), "wb");
    FUZZ_CHECK(file != nullptr);
    if (size > 0) {
        FUZZ_CHECK(std::fwrite(data, 1, size, file) == size);
    }
    FUZZ_CHECK(std::fclose(file) == 0);

    CXmlDocument doc;
    const bool wellFormed = doc.LoadFile(g_path.c_str());
    // The file is there to be read: the outcome is the parse's.
    FUZZ_CHECK((doc.GetOutcome().status == XmlStatus::kWellFormed) == wellFormed);
    FUZZ_CHECK(doc.GetOutcome().status != XmlStatus::kFileNotRead);
    // The report stops taking entries at its limit; one entry may pass it.
    FUZZ_CHECK(doc.GetResultReport().size() < 2 * kReportLimit);
    // Zero characters are removed before parsing: the text never holds one.
    const std::string& text = doc.GetDocText();
    FUZZ_CHECK(text.find('\0') == std::string::npos);
    if (wellFormed) {
        doc.ResetPosition();
        FUZZ_CHECK(doc.FindElement(nullptr));
        (void)doc.GetElementText();
        (void)doc.GetAttribute("encoding");
    }
    // A second load of the same document starts afresh.
    CXmlDocument again;
    FUZZ_CHECK(again.LoadFile(g_path.c_str()) == wellFormed);
    FUZZ_CHECK(again.GetDocText() == text);
    return 0;
}
