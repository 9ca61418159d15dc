// Our engine, used only through the calls a caller of the document has:
// construction from a text, FindElement/FindChildElement/IntoElement/
// OutOfElement to move, GetElementName, GetAttributeAt and
// GetElementTextView to read (views into the document, as the other
// engines' walks read theirs).
#include <string_view>

#include "engine.h"
#include "markup/markup.h"

namespace {

class ZelkEngine : public Engine {
  public:
    bool Parse(const std::string& input) override {
        doc_.reset(new CXmlDocument(input));
        return doc_->CheckWellFormed();
    }

    WalkSums Walk() override {
        WalkSums sums;
        CXmlDocument& doc = *doc_;
        doc.ResetPosition();
        int depth = 0;
        bool found = doc.FindElement(nullptr);
        for (;;) {
            if (found) {
                Visit(doc, &sums);
                // Into the element, its first child becoming the main position.
                if (doc.FindChildElement(nullptr)) {
                    doc.IntoElement();
                    ++depth;
                    continue;
                }
            } else {
                if (depth == 0)
                    break;
                doc.OutOfElement();
                --depth;
            }
            found = doc.FindElement(nullptr);
        }
        return sums;
    }

    void Release() override { doc_.reset(); }

  private:
    static void Visit(CXmlDocument& doc, WalkSums* sums) {
        ++sums->elements;
        sums->nameBytes += doc.GetElementName().size();
        std::string_view attribute;
        std::string_view value;
        for (int32_t i = 0; doc.GetAttributeAt(i, &attribute, &value); ++i) {
            ++sums->attributes;
            sums->valueBytes += value.size();
        }
        // Empty for an element with child elements, as the others' walks count.
        sums->textBytes += doc.GetElementTextView().size();
    }

    std::unique_ptr<CXmlDocument> doc_;
};

}  // namespace

std::unique_ptr<Engine> MakeZelkEngine() {
    return std::make_unique<ZelkEngine>();
}
