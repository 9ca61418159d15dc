// Our engine, used only through the calls a caller of the document has:
// construction from a text, FindElement/IntoElement/OutOfElement to move,
// GetAttributeAt and GetElementTextView to read (views into the document, as
// the other engines' walks read theirs). The element's name is read from its
// start tag, located through GetEntry.
#include <string_view>

#include "engine.h"
#include "markup/markup.h"

namespace {

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

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
        for (;;) {
            if (doc.FindElement("")) {
                const ElementEntry& entry = doc.GetEntry(doc.GetMainPos());
                const bool hasChildren = entry.firstChild != 0;
                Visit(doc, entry, &sums);
                if (hasChildren) {
                    doc.IntoElement();
                    ++depth;
                }
            } else {
                if (depth == 0)
                    break;
                doc.OutOfElement();
                --depth;
            }
        }
        return sums;
    }

    void Release() override { doc_.reset(); }

  private:
    static void Visit(CXmlDocument& doc, const ElementEntry& entry, WalkSums* sums) {
        const char* p = doc.GetDocText().data() + entry.start + 1;
        const char* end = doc.GetDocText().data() + entry.start + entry.StartTagLength();
        ++sums->elements;
        const char* name = p;
        while (p < end && !IsSpace(*p) && *p != '/' && *p != '>')
            ++p;
        sums->nameBytes += static_cast<uint64_t>(p - name);
        std::string_view attribute;
        std::string_view value;
        for (int32_t i = 0; doc.GetAttributeAt(i, &attribute, &value); ++i) {
            ++sums->attributes;
            sums->valueBytes += value.size();
        }
        if (entry.firstChild == 0)
            sums->textBytes += doc.GetElementTextView().size();
    }

    std::unique_ptr<CXmlDocument> doc_;
};

}  // namespace

std::unique_ptr<Engine> MakeZelkEngine() {
    return std::make_unique<ZelkEngine>();
}
