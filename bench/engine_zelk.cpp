// Our engine, used only through the calls a caller of the document has:
// construction from a text, FindElement/IntoElement/OutOfElement to move,
// GetAttribute and GetElementText to read. The document offers no call that
// lists attribute names, so the walk reads them from the start tag text
// (located through GetEntry), as a caller that knows no names would have to.
#include <cstring>

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
        char attributeName[256];
        for (;;) {
            while (p < end && IsSpace(*p))
                ++p;
            if (p >= end || *p == '/' || *p == '>' || *p == '?')
                break;
            const char* attribute = p;
            while (p < end && !IsSpace(*p) && *p != '=' && *p != '/' && *p != '>')
                ++p;
            const size_t length = static_cast<size_t>(p - attribute);
            while (p < end && IsSpace(*p))
                ++p;
            if (p < end && *p == '=') {
                ++p;
                while (p < end && IsSpace(*p))
                    ++p;
                if (p < end && (*p == '"' || *p == '\'')) {
                    const char quote = *p++;
                    while (p < end && *p != quote)
                        ++p;
                    ++p;
                } else {
                    while (p < end && !IsSpace(*p) && *p != '>')
                        ++p;
                }
            }
            if (length == 0 || length >= sizeof attributeName)
                continue;
            std::memcpy(attributeName, attribute, length);
            attributeName[length] = '\0';
            ++sums->attributes;
            sums->valueBytes += doc.GetAttribute(attributeName).size();
        }
        if (entry.firstChild == 0)
            sums->textBytes += doc.GetElementText().size();
    }

    std::unique_ptr<CXmlDocument> doc_;
};

}  // namespace

std::unique_ptr<Engine> MakeZelkEngine() {
    return std::make_unique<ZelkEngine>();
}
