// A heartbeat byte stream cut at fuzzer-chosen points through MessageFramer,
// and every consumed message through the handshake and train handling. A
// plain reference model of the framing (a string searched from its start on
// every read) must agree with the framer on every read. The file counter and
// the shell are fakes that check that nothing from the stream reaches a
// folder outside the configured ones or a command other than the configured two.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "daemon/event_log.h"
#include "fuzz_check.h"
#include "log/log_writer.h"
#include "log_check.h"
#include "supervision/app_config.h"
#include "supervision/command_state.h"
#include "supervision/file_checks.h"
#include "supervision/framing.h"
#include "supervision/log_sanitize.h"
#include "supervision/train_message.h"

namespace {

const char kPictures[] = "/srv/zelk/pic/";
const char kResults1[] = "/srv/zelk/xml1/";
const char kResults2[] = "/srv/zelk/xml2/";

class FakeFiles final : public FileCounter {
  public:
    void CountFiles(const std::string& folder, const std::string& extension, FileList& list,
                    const std::string& key) override {
        const std::string pictures = kPictures;
        if (extension == "jpg") {
            FUZZ_CHECK(folder.compare(0, pictures.size(), pictures) == 0);
            const std::string rest = folder.substr(pictures.size());
            FUZZ_CHECK(IsSafeTrainKey(rest));
            FUZZ_CHECK(rest.find('/') == std::string::npos && rest.find('\\') == std::string::npos);
            FUZZ_CHECK(rest != "." && rest != "..");
            FUZZ_CHECK(key.empty());
            // Some pictures for some keys, so that mismatches happen.
            for (size_t i = 0; i < rest.size() % 3; ++i) {
                list.push_back(folder + "L001.jpg");
            }
        } else {
            FUZZ_CHECK(extension == "xml");
            FUZZ_CHECK(folder == kResults1 || folder == kResults2);
            FUZZ_CHECK(key.find('/') == std::string::npos && key.find('\\') == std::string::npos);
        }
        ++calls;
    }
    long calls = 0;
};

// The checks' pauses take no time here.
class NoTime final : public WatchdogClock {
  public:
    int64_t NowMs() override { return 0; }
    void SleepMs(unsigned) override {}
};

class FakeShell final : public ShellRunner {
  public:
    bool Run(const std::string& command, int32_t* code) override {
        FUZZ_CHECK(command == "uninstall.cmd" || command == "install.cmd");
        *code = 0;
        return true;
    }
};

// The framing as the watchdog defines it, written the slow and obvious way.
struct ModelFramer {
    explicit ModelFramer(size_t capacity) : limit(capacity - 1) {}

    FramedMessage Append(std::string bytes) {
        FramedMessage result;
        if (bytes.size() > limit) {
            bytes.erase(0, bytes.size() - limit);
        }
        if (pending.size() + bytes.size() > limit) {
            result.discardedBytes = pending.size();
            pending.clear();
        }
        pending += bytes;
        const std::string visible = pending.substr(0, pending.find('\0'));
        const size_t train = visible.find("</train>");
        const size_t handshake = visible.find("</handshake>");
        if (train != std::string::npos) {
            result.kind = MessageKind::kTrain;
            result.text = pending.substr(0, train + 8);
            pending.erase(0, train + 8);
        } else if (handshake != std::string::npos) {
            result.kind = MessageKind::kHandshake;
            pending.erase(0, handshake + 12);
        }
        return result;
    }

    size_t limit;
    std::string pending;
};

std::string g_logFolder;
long g_runs = 0;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    char pattern[] = "/tmp/zelk-fuzz-framing-XXXXXX";
    FUZZ_CHECK(mkdtemp(pattern) != nullptr);
    g_logFolder = std::string(pattern) + "/";
    ProcessLogWriter().Reset(
        g_logFolder, [] { return int64_t{1765000000}; }, [](const char*) {});
    // The console lines of the train handling are of no interest here.
    FUZZ_CHECK(std::freopen("/dev/null", "w", stdout) != nullptr);
    std::atexit([] { RemoveLogFolder(g_logFolder); });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Layout: two bytes of buffer capacity, then reads, each one length byte
    // and that many bytes (fewer at the end); the length 0xFF stands for a
    // new connection attempt instead.
    if (size < 2) {
        return 0;
    }
    const size_t capacity =
        16 + (static_cast<size_t>(data[0]) | static_cast<size_t>(data[1]) << 8) % 4081;
    size_t at = 2;

    AppConfig config;
    config.name = "app";
    config.picMonitor = kPictures;
    config.fileMonitor[0] = kResults1;
    config.fileMonitor[1] = kResults2;
    config.startPath = "install.cmd";
    config.stopPath = "uninstall.cmd";

    MessageFramer framer(capacity);
    FUZZ_CHECK(framer.Ready());
    ModelFramer model(capacity);
    CommandState state;
    FakeFiles files;
    FakeShell shell;
    NoTime clock;
    WatchdogLog log(config, ProcessOutput());
    TrainServices services{files, shell, clock, log};

    while (at < size) {
        const uint8_t control = data[at++];
        if (control == 0xFF) {
            // A new connection attempt.
            framer.Clear();
            model.pending.clear();
            state.Reset();
            continue;
        }
        const size_t take = control < size - at ? control : size - at;
        const std::string chunk(reinterpret_cast<const char*>(data + at), take);
        at += take;
        const FramedMessage got = framer.Append(chunk.data(), chunk.size());
        const FramedMessage want = model.Append(chunk);
        FUZZ_CHECK(got.kind == want.kind);
        FUZZ_CHECK(got.text == want.text);
        FUZZ_CHECK(got.discardedBytes == want.discardedBytes);
        FUZZ_CHECK(framer.Length() == model.pending.size());
        FUZZ_CHECK(framer.Length() < framer.Capacity());
        FUZZ_CHECK(framer.Data()[framer.Length()] == '\0');

        if (got.kind == MessageKind::kTrain) {
            HandleTrainMessage(got.text, config, 0, state, services);
        } else if (got.kind == MessageKind::kHandshake) {
            HandleHandshake(state, config, shell, log);
        }
        // An install is due at the fifth handshake after an uninstall, never later.
        FUZZ_CHECK(state.HandshakeCount() >= 0);
        FUZZ_CHECK(!state.UninstallPending() || state.HandshakeCount() < kHandshakesBeforeInstall);
    }

    // Every line written so far must keep the log's line format.
    if (++g_runs % 256 == 0) {
        CheckAndClearLogFolder(g_logFolder);
    }
    return 0;
}
