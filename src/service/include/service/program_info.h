// What the program says when asked for help or its version. Every other
// argument is ignored: the service manager starts the program without any.
#pragma once

#include <string>
#include <vector>

// The text to print for `arguments` (those after the program name): the help
// for --help, -h or /?, the version for --version; empty when the arguments
// ask for neither, and the supervisor is to run.
std::string ProgramInfo(const std::vector<std::string>& arguments);
