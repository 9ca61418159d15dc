// What reading and checking config.xml takes from the operating system the
// daemon runs on, handed in so that the walk and the check stay pure: the
// platform's own in production (PlatformFacts, daemon/platform_config.h),
// either system's written out in tests.
#pragma once

#include <cstdint>
#include <string>

struct SystemFacts {
    // Paths: the separator of the folders the daemon makes, every character
    // the system reads as one, and whether a path does not depend on the
    // current folder.
    char pathSeparator;
    const char* pathSeparators;
    bool (*isAbsolutePath)(const std::string& path);
    // The socket library: dotted IPv4 text to an address in network byte
    // order (false, the address untouched, when the text is none), the
    // family of IPv4 socket addresses, and a port in network byte order.
    bool (*parseIpv4)(const char* text, uint32_t* address);
    uint16_t ipv4Family;
    uint16_t (*hostToNetwork16)(uint16_t value);
    // The ANSI code page config.xml's texts are in: its number, and the byte
    // length of a character by its first byte (256 entries).
    int ansiCodePage;
    const uint8_t* ansiCharLengths;
    // The system's text for an error code, on one line.
    std::string (*errorText)(int32_t code);
};
