// libxml2 through its public API: xmlReadMemory into a tree (XML_PARSE_HUGE
// lifts its default limits on depth and text size).
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <cstring>

#include "engine.h"

namespace {

uint64_t Length(const xmlChar* text) {
    return text ? std::strlen(reinterpret_cast<const char*>(text)) : 0;
}

class Libxml2Engine : public Engine {
  public:
    Libxml2Engine() { xmlInitParser(); }
    ~Libxml2Engine() override { Release(); }

    bool Parse(const std::string& input) override {
        Release();
        doc_ = xmlReadMemory(
            input.data(), static_cast<int>(input.size()), "corpus.xml", nullptr,
            XML_PARSE_NONET | XML_PARSE_HUGE | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
        return doc_ != nullptr;
    }

    WalkSums Walk() override {
        WalkSums sums;
        xmlNode* node = doc_ ? doc_->children : nullptr;
        while (node) {
            if (node->type == XML_ELEMENT_NODE)
                Visit(node, &sums);
            xmlNode* next = node->type == XML_ELEMENT_NODE ? node->children : nullptr;
            if (!next) {
                while (node && !node->next) {
                    node = node->parent;
                    if (node == reinterpret_cast<xmlNode*>(doc_))
                        node = nullptr;
                }
                if (node)
                    next = node->next;
            }
            node = next;
        }
        return sums;
    }

    void Release() override {
        if (doc_)
            xmlFreeDoc(doc_);
        doc_ = nullptr;
    }

  private:
    static void Visit(xmlNode* node, WalkSums* sums) {
        ++sums->elements;
        sums->nameBytes += Length(node->name);
        for (xmlAttr* a = node->properties; a; a = a->next) {
            ++sums->attributes;
            for (xmlNode* t = a->children; t; t = t->next)
                sums->valueBytes += Length(t->content);
        }
        uint64_t text = 0;
        for (xmlNode* child = node->children; child; child = child->next) {
            if (child->type == XML_ELEMENT_NODE)
                return;
            if (child->type == XML_TEXT_NODE || child->type == XML_CDATA_SECTION_NODE)
                text += Length(child->content);
        }
        sums->textBytes += text;
    }

    xmlDoc* doc_ = nullptr;
};

}  // namespace

std::unique_ptr<Engine> MakeLibxml2Engine() {
    return std::make_unique<Libxml2Engine>();
}
