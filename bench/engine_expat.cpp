// expat through its public API. It builds no document, so "parse" is a run
// without handlers and "parse and walk" a run whose handlers read every name,
// attribute value and the text of elements without child elements.
#include <expat.h>
#include <cstring>

#include "engine.h"

namespace {

struct WalkState {
    WalkSums sums;
    // Per open element: its text so far and whether a child element was seen.
    std::vector<uint64_t> text;
    std::vector<char> hasChild;
};

void XMLCALL OnStart(void* data, const XML_Char* name, const XML_Char** attributes) {
    WalkState& state = *static_cast<WalkState*>(data);
    ++state.sums.elements;
    state.sums.nameBytes += std::strlen(name);
    for (const XML_Char** a = attributes; *a; a += 2) {
        ++state.sums.attributes;
        state.sums.valueBytes += std::strlen(a[1]);
    }
    if (!state.hasChild.empty())
        state.hasChild.back() = 1;
    state.text.push_back(0);
    state.hasChild.push_back(0);
}

void XMLCALL OnEnd(void* data, const XML_Char*) {
    WalkState& state = *static_cast<WalkState*>(data);
    if (!state.hasChild.back())
        state.sums.textBytes += state.text.back();
    state.text.pop_back();
    state.hasChild.pop_back();
}

void XMLCALL OnText(void* data, const XML_Char*, int length) {
    WalkState& state = *static_cast<WalkState*>(data);
    if (!state.text.empty())
        state.text.back() += static_cast<uint64_t>(length);
}

class ExpatEngine : public Engine {
  public:
    bool Parse(const std::string& input) override { return Run(input, nullptr); }
    WalkSums Walk() override { return WalkSums(); }
    void Release() override {}
    bool ParseAndWalk(const std::string& input, WalkSums* sums) override {
        WalkState state;
        const bool ok = Run(input, &state);
        *sums = state.sums;
        return ok;
    }

  private:
    static bool Run(const std::string& input, WalkState* state) {
        XML_Parser parser = XML_ParserCreate(nullptr);
        if (state) {
            XML_SetUserData(parser, state);
            XML_SetElementHandler(parser, OnStart, OnEnd);
            XML_SetCharacterDataHandler(parser, OnText);
        }
        const bool ok =
            XML_Parse(parser, input.data(), static_cast<int>(input.size()), 1) == XML_STATUS_OK;
        XML_ParserFree(parser);
        return ok;
    }
};

}  // namespace

std::unique_ptr<Engine> MakeExpatEngine() {
    return std::make_unique<ExpatEngine>();
}
