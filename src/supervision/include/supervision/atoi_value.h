// The one reading of decimal numbers in configuration and message values.
#pragma once

#include <cstdint>
#include <string>

// The decimal value of `text` as the C runtime's atoi reads it: leading
// white space (space, tab, line feed, vertical tab, form feed, carriage
// return) skipped, an optional sign, the digits up to the first non-digit; 0
// without leading digits. Values beyond the 32-bit range are held to it
// instead of overflowing.
int32_t AtoiValue(const std::string& text);
