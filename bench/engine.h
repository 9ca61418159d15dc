// The engines that the benchmark compares, behind one small interface: parse
// a text held in memory, then walk the parsed document reading every
// element's name, every attribute value and the text of every element that
// has no child elements.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// What a walk read. Every engine should report the same counts on the same
// corpus; differences show where engines disagree on what the text is.
struct WalkSums {
    uint64_t elements = 0;
    uint64_t nameBytes = 0;
    uint64_t attributes = 0;
    uint64_t valueBytes = 0;
    uint64_t textBytes = 0;
};

class Engine {
  public:
    virtual ~Engine() = default;
    // Parses `input` (not changed) and keeps the document until the next
    // Parse or Release. False when the engine refused the text.
    virtual bool Parse(const std::string& input) = 0;
    // Walks the document kept by the last Parse.
    virtual WalkSums Walk() = 0;
    // Frees the document.
    virtual void Release() = 0;
    // Parse and walk in one go; engines that only stream override it.
    virtual bool ParseAndWalk(const std::string& input, WalkSums* sums) {
        if (!Parse(input))
            return false;
        *sums = Walk();
        return true;
    }
    // False for an engine measured for parsing only (e.g. a reduced mode).
    virtual bool CanWalk() const { return true; }
};

struct EngineInfo {
    const char* name;
    std::unique_ptr<Engine> (*make)();
};

// All engines, ours first, pugixml (default flags) second.
const std::vector<EngineInfo>& Engines();

std::unique_ptr<Engine> MakeZelkEngine();
std::unique_ptr<Engine> MakePugixmlEngine();
std::unique_ptr<Engine> MakePugixmlMinimalEngine();
std::unique_ptr<Engine> MakeRapidxmlEngine();
std::unique_ptr<Engine> MakeTinyxml2Engine();
std::unique_ptr<Engine> MakeExpatEngine();
std::unique_ptr<Engine> MakeLibxml2Engine();
