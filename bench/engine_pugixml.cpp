// pugixml through its public API: load_buffer (which copies the text) with
// the default flags, or with parse_minimal for the parse-only figure.
#include <pugixml.hpp>

#include "engine.h"

namespace {

class PugixmlEngine : public Engine {
  public:
    explicit PugixmlEngine(unsigned options) : options_(options) {}

    bool Parse(const std::string& input) override {
        doc_.reset(new pugi::xml_document);
        return doc_->load_buffer(input.data(), input.size(), options_, pugi::encoding_utf8);
    }

    WalkSums Walk() override {
        WalkSums sums;
        pugi::xml_node node = doc_->first_child();
        while (node) {
            if (node.type() == pugi::node_element)
                Visit(node, &sums);
            pugi::xml_node next = node.first_child();
            if (!next) {
                while (node && !node.next_sibling()) {
                    node = node.parent();
                    if (node == *doc_)
                        node = pugi::xml_node();
                }
                if (node)
                    next = node.next_sibling();
            }
            node = next;
        }
        return sums;
    }

    void Release() override { doc_.reset(); }
    bool CanWalk() const override { return options_ != pugi::parse_minimal; }

  private:
    static void Visit(const pugi::xml_node& node, WalkSums* sums) {
        ++sums->elements;
        sums->nameBytes += std::char_traits<char>::length(node.name());
        for (pugi::xml_attribute a = node.first_attribute(); a; a = a.next_attribute()) {
            ++sums->attributes;
            sums->valueBytes += std::char_traits<char>::length(a.value());
        }
        for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling())
            if (child.type() == pugi::node_element)
                return;
        sums->textBytes += std::char_traits<char>::length(node.child_value());
    }

    unsigned options_;
    std::unique_ptr<pugi::xml_document> doc_;
};

}  // namespace

std::unique_ptr<Engine> MakePugixmlEngine() {
    return std::make_unique<PugixmlEngine>(pugi::parse_default);
}
std::unique_ptr<Engine> MakePugixmlMinimalEngine() {
    return std::make_unique<PugixmlEngine>(pugi::parse_minimal);
}
