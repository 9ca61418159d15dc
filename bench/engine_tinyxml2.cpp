// tinyxml2 through its public API: XMLDocument::Parse from memory.
#include <tinyxml2.h>
#include <cstring>

#include "engine.h"

namespace {

class Tinyxml2Engine : public Engine {
  public:
    bool Parse(const std::string& input) override {
        doc_.reset(new tinyxml2::XMLDocument);
        return doc_->Parse(input.data(), input.size()) == tinyxml2::XML_SUCCESS;
    }

    WalkSums Walk() override {
        WalkSums sums;
        tinyxml2::XMLNode* node = doc_->FirstChild();
        while (node) {
            if (const tinyxml2::XMLElement* element = node->ToElement())
                Visit(element, &sums);
            tinyxml2::XMLNode* next = node->FirstChild();
            if (!next) {
                while (node && !node->NextSibling()) {
                    node = node->Parent();
                    if (node == doc_.get())
                        node = nullptr;
                }
                if (node)
                    next = node->NextSibling();
            }
            node = next;
        }
        return sums;
    }

    void Release() override { doc_.reset(); }

  private:
    static void Visit(const tinyxml2::XMLElement* element, WalkSums* sums) {
        ++sums->elements;
        sums->nameBytes += std::strlen(element->Name());
        for (const tinyxml2::XMLAttribute* a = element->FirstAttribute(); a; a = a->Next()) {
            ++sums->attributes;
            sums->valueBytes += std::strlen(a->Value());
        }
        if (element->FirstChildElement())
            return;
        if (const char* text = element->GetText())
            sums->textBytes += std::strlen(text);
    }

    std::unique_ptr<tinyxml2::XMLDocument> doc_;
};

}  // namespace

std::unique_ptr<Engine> MakeTinyxml2Engine() {
    return std::make_unique<Tinyxml2Engine>();
}
