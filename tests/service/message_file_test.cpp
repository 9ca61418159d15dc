// The event log's message file as the Event Viewer reads it: every event of
// the table has its text there, inserts in place, and the DLL runs no code.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "supervision/admin_events.h"

namespace {

// The build's path of the DLL; under Wine a POSIX path, reached through Z:.
std::string MessageFilePath() {
    std::string path = ZELK_MESSAGE_FILE;
    return !path.empty() && path[0] == '/' ? "Z:" + path : path;
}

// The message `id` formatted with `inserts`, without the message file's
// line end; "<none: error>" when there is no such message.
std::string Format(HMODULE module, uint32_t id, const std::vector<std::string>& inserts) {
    std::vector<DWORD_PTR> arguments;
    for (const std::string& insert : inserts) {
        arguments.push_back(reinterpret_cast<DWORD_PTR>(insert.c_str()));
    }
    char* buffer = nullptr;
    DWORD length =
        FormatMessageA(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_ARGUMENT_ARRAY |
                           FORMAT_MESSAGE_ALLOCATE_BUFFER,
                       module, id, 0, reinterpret_cast<LPSTR>(&buffer), 0,
                       arguments.empty() ? nullptr : reinterpret_cast<va_list*>(arguments.data()));
    if (length == 0) {
        return "<none: " + std::to_string(GetLastError()) + ">";
    }
    std::string text(buffer, length);
    LocalFree(buffer);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) {
        text.pop_back();
    }
    return text;
}

TEST(MessageFile, EveryEventHasItsTextWithItsInserts) {
    HMODULE module = LoadLibraryExA(MessageFilePath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module, nullptr) << MessageFilePath() << ": error " << GetLastError();
    for (const AdminEventKind& kind : AdminEventKinds()) {
        SCOPED_TRACE(kind.id);
        // Inserts that would mean something to a formatter that read them.
        std::vector<std::string> inserts;
        for (int i = 1; i <= kind.insertCount; ++i) {
            inserts.push_back("<" + std::to_string(i) + " 50%1 done.>");
        }
        EXPECT_EQ(Format(module, kind.id, inserts), FormatAdminEventText(kind, inserts));
    }
    // The IDs between the table's have no message.
    EXPECT_EQ(Format(module, 1000, {}).rfind("<none: ", 0), 0u);
    EXPECT_EQ(Format(module, 1007, {}).rfind("<none: ", 0), 0u);
    FreeLibrary(module);
}

// Resources only: loading it runs nothing.
TEST(MessageFile, HasNoEntryPoint) {
    std::ifstream file(MessageFilePath(), std::ios::binary);
    std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(file)),
                                     std::istreambuf_iterator<char>());
    ASSERT_GT(bytes.size(), 0x40u);
    uint32_t header = 0;
    std::memcpy(&header, &bytes[0x3C], sizeof header);
    // The signature, the file header (20 bytes), then the optional header
    // whose address of the entry point is at its offset 16.
    ASSERT_LT(header + 4 + 20 + 16 + 4, bytes.size());
    ASSERT_EQ(std::memcmp(&bytes[header], "PE\0\0", 4), 0);
    uint32_t entryPoint = 0;
    std::memcpy(&entryPoint, &bytes[header + 4 + 20 + 16], sizeof entryPoint);
    EXPECT_EQ(entryPoint, 0u);
}

}  // namespace
