// Text for the XML the tools write: the simulator's messages and result
// files, zelkctl's timeline pictures. The tools escape with this and not
// with the daemon's XML engine: the simulator is the engine's peer in the
// tests, so it must not share the engine's mistakes, and zelkctl's pictures
// are UTF-8, which the engine's escaper (it steps over characters of the
// ANSI code page) does not read as such.
#pragma once

#include <string>

namespace tools {

// `text` with &, <, >, " and ' written as their predefined entities, byte by
// byte: sound for UTF-8 and for every ANSI code page, none of whose trail
// bytes is one of those five.
std::string EscapeXmlText(const std::string& text);

}  // namespace tools
