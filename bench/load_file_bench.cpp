// LoadFile of a 50 MB UTF-16LE file into the document's character set (the
// ANSI code page, UTF-8 on POSIX), against the floor: reading the same file
// and converting its bytes with iconv alone. LoadFile also parses, so the
// parse of the converted text is timed on its own and taken off. Times are
// the thread's CPU seconds.
#include <iconv.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "bench_parts.h"
#include "markup/markup.h"
#include "measure.h"

namespace {

std::string ReadRaw(const std::string& path) {
    std::string bytes;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return bytes;
    std::fseek(f, 0, SEEK_END);
    const long size = std::ftell(f);
    std::fseek(f, 0, SEEK_SET);
    bytes.resize(size > 0 ? static_cast<size_t>(size) : 0);
    const size_t got = std::fread(&bytes[0], 1, bytes.size(), f);
    bytes.resize(got);
    std::fclose(f);
    return bytes;
}

// UTF-16LE (after the 2-byte mark) to UTF-8; empty on failure.
std::string Convert(const std::string& bytes, double* seconds) {
    std::string out(bytes.size() * 3 / 2 + 16, '\0');
    iconv_t cd = iconv_open("UTF-8", "UTF-16LE");
    if (cd == reinterpret_cast<iconv_t>(-1))
        return std::string();
    char* in = const_cast<char*>(bytes.data()) + 2;
    size_t inLeft = bytes.size() - 2;
    char* to = &out[0];
    size_t outLeft = out.size();
    const double t0 = ThreadCpuSeconds();
    const size_t r = iconv(cd, &in, &inLeft, &to, &outLeft);
    *seconds = ThreadCpuSeconds() - t0;
    iconv_close(cd);
    if (r == static_cast<size_t>(-1))
        return std::string();
    out.resize(out.size() - outLeft);
    return out;
}

}  // namespace

void RunLoadFileBench(const std::string& corpora, int reps) {
    const std::string path = corpora + "/text_utf16le.xml";
    std::fprintf(stderr, "loading %s\n", path.c_str());
    std::vector<double> load, read, convert, parse;
    size_t fileSize = 0, loadedSize = 0, convertedSize = 0;
    bool loaded = false;
    std::string report;
    for (int r = 0; r < reps; ++r) {
        {
            std::unique_ptr<CXmlDocument> doc(new CXmlDocument);
            const double t0 = ThreadCpuSeconds();
            loaded = doc->LoadFile(path.c_str());
            load.push_back(ThreadCpuSeconds() - t0);
            loadedSize = doc->GetDocText().size();
            report = doc->GetResultReport();
        }
        double t0 = ThreadCpuSeconds();
        const std::string bytes = ReadRaw(path);
        read.push_back(ThreadCpuSeconds() - t0);
        fileSize = bytes.size();
        double seconds = 0;
        const std::string text = Convert(bytes, &seconds);
        convert.push_back(seconds);
        convertedSize = text.size();
        t0 = ThreadCpuSeconds();
        { CXmlDocument doc(text); }
        parse.push_back(ThreadCpuSeconds() - t0);
    }
    const double mb = static_cast<double>(fileSize) / 1e6;
    std::printf(
        "\nLoadFile of a UTF-16LE file (%zu bytes; LoadFile %s, %zu bytes of text; iconv %zu "
        "bytes), medians of %d:\n\n",
        fileSize, loaded ? "well-formed" : "NOT well-formed", loadedSize, convertedSize, reps);
    std::printf("| step | seconds | MB/s of file |\n|---|---:|---:|\n");
    auto row = [&](const char* name, double s) {
        std::printf("| %s | %.3f | %.0f |\n", name, s, s > 0 ? mb / s : 0.0);
    };
    const double tLoad = Median(load), tRead = Median(read), tConv = Median(convert),
                 tParse = Median(parse);
    row("LoadFile (read, convert, parse)", tLoad);
    row("parse of the converted text alone", tParse);
    row("LoadFile minus parse", tLoad - tParse);
    row("floor: fread whole file", tRead);
    row("floor: iconv UTF-16LE to UTF-8", tConv);
    row("floor: fread + iconv", tRead + tConv);
    std::printf("\nLoadFile minus parse against the floor: %.2fx. Result report: %s\n",
                (tLoad - tParse) / (tRead + tConv), report.c_str());
}
