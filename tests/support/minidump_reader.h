// A reader of the parts of a minidump file (.dmp) the dump tests check: the
// header, the stream directory, the module list and the thread list, as the
// format is documented (little-endian; MINIDUMP_HEADER, MINIDUMP_DIRECTORY,
// MINIDUMP_MODULE_LIST, MINIDUMP_THREAD_LIST).
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace testing_support {

struct Minidump {
    bool valid = false;  // the signature is "MDMP" and the directory lies within the file
    std::vector<uint32_t> streamTypes;
    std::vector<std::string> modules;  // full names, UTF-16 narrowed to ASCII ('?' beyond it)
    std::vector<uint32_t> threadIds;
};

// Stream types of the format.
constexpr uint32_t kThreadListStream = 3;
constexpr uint32_t kModuleListStream = 4;
constexpr uint32_t kMemory64ListStream = 9;  // the whole memory

namespace minidump_detail {

inline bool Read32(const std::string& file, uint64_t at, uint32_t* out) {
    if (at + 4 > file.size()) {
        return false;
    }
    const auto* bytes = reinterpret_cast<const unsigned char*>(file.data() + at);
    *out = bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<uint32_t>(bytes[3]) << 24;
    return true;
}

// A MINIDUMP_STRING: its length in bytes, then UTF-16LE.
inline std::string ReadName(const std::string& file, uint32_t rva) {
    uint32_t bytes = 0;
    if (!Read32(file, rva, &bytes) || uint64_t{rva} + 4 + bytes > file.size()) {
        return std::string();
    }
    std::string name;
    for (uint32_t i = 0; i + 1 < bytes; i += 2) {
        const auto low = static_cast<unsigned char>(file[rva + 4 + i]);
        const auto high = static_cast<unsigned char>(file[rva + 4 + i + 1]);
        name += high == 0 && low < 0x80 ? static_cast<char>(low) : '?';
    }
    return name;
}

}  // namespace minidump_detail

// Reads `file`, the whole content of a .dmp file.
inline Minidump ReadMinidump(const std::string& file) {
    using minidump_detail::Read32;
    Minidump dump;
    uint32_t count = 0;
    uint32_t directory = 0;
    if (file.compare(0, 4, "MDMP") != 0 || !Read32(file, 8, &count) ||
        !Read32(file, 12, &directory) || uint64_t{directory} + uint64_t{count} * 12 > file.size()) {
        return dump;
    }
    dump.valid = true;
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t type = 0;
        uint32_t rva = 0;
        const uint64_t entry = uint64_t{directory} + i * 12;
        Read32(file, entry, &type);
        Read32(file, entry + 8, &rva);
        dump.streamTypes.push_back(type);
        uint32_t items = 0;
        if (!Read32(file, rva, &items)) {
            continue;
        }
        // MINIDUMP_MODULE is 108 bytes, its name's RVA at offset 20;
        // MINIDUMP_THREAD is 48 bytes, its id first.
        for (uint32_t n = 0; n < items && type == kModuleListStream; ++n) {
            uint32_t nameRva = 0;
            if (!Read32(file, rva + 4 + uint64_t{n} * 108 + 20, &nameRva)) {
                break;
            }
            dump.modules.push_back(minidump_detail::ReadName(file, nameRva));
        }
        for (uint32_t n = 0; n < items && type == kThreadListStream; ++n) {
            uint32_t id = 0;
            if (!Read32(file, rva + 4 + uint64_t{n} * 48, &id)) {
                break;
            }
            dump.threadIds.push_back(id);
        }
    }
    return dump;
}

}  // namespace testing_support
