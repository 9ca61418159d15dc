// Texts of config.xml (the ANSI code page) for readers that need UTF-8: the
// status snapshot's labels and the journal's lines.
#pragma once

#include <string>

// `ansi` converted to UTF-8 by the XML engine's converter; when it cannot be
// converted, every byte above 0x7F becomes "?", so that the result is UTF-8
// all the same.
std::string AnsiToUtf8(const std::string& ansi);
