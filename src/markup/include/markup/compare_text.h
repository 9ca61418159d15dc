// Length-limited byte comparison of names.
#pragma once

// Compares exactly `count` bytes of a and b as signed 8-bit values and
// returns 0 when they are equal, else the difference of the first differing
// bytes. With ignoreCase, differing bytes are compared again folded from
// a-z to upper case, unless an equal byte of 0x80 or more (which may start a
// multibyte character) came before in this comparison. The comparison stops
// at the first difference, so a shorter zero-terminated b is read only up to
// its terminator.
int CompareText(const char* a, const char* b, int count, bool ignoreCase);
