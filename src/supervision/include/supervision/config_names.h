// The names of config.xml the daemon does not read where they stand:
// unknown or misplaced elements, unknown attributes and attributes written
// twice, each with its place and the known name it most resembles.
#pragma once

#include <string>
#include <vector>

#include "supervision/config_check.h"
#include "supervision/system_facts.h"

class CXmlDocument;

struct NameFinding {
    Pitfall pitfall;   // kUnknownElement, kUnknownAttribute or kRepeatedAttribute
    int app;           // the app element it is in, counting every one (0 for the
                       // first); -1 outside them
    std::string text;  // "line L, column C: " and what is wrong
};

// Walks the elements of `document`, whose top element is `config`, in the
// order of the file; leaves the positions reset.
std::vector<NameFinding> CheckConfigNames(CXmlDocument& document, const SystemFacts& facts);
