// RapidXML through its public API. It parses in place and needs a writable,
// zero-terminated buffer, so each parse first copies the text (the copy is
// part of the measured time, as the other engines copy internally too).
#include <cstring>
#include <rapidxml/rapidxml.hpp>

#include "engine.h"

namespace {

class RapidxmlEngine : public Engine {
  public:
    bool Parse(const std::string& input) override {
        Release();
        buffer_.reset(new char[input.size() + 1]);
        std::memcpy(buffer_.get(), input.c_str(), input.size() + 1);
        doc_.reset(new rapidxml::xml_document<>);
        try {
            doc_->parse<0>(buffer_.get());
        } catch (const rapidxml::parse_error&) {
            return false;
        }
        return true;
    }

    WalkSums Walk() override {
        WalkSums sums;
        rapidxml::xml_node<>* node = doc_->first_node();
        while (node) {
            if (node->type() == rapidxml::node_element)
                Visit(node, &sums);
            rapidxml::xml_node<>* next = node->first_node();
            if (!next) {
                while (node && !node->next_sibling()) {
                    node = node->parent();
                    if (node == doc_.get())
                        node = nullptr;
                }
                if (node)
                    next = node->next_sibling();
            }
            node = next;
        }
        return sums;
    }

    void Release() override {
        doc_.reset();
        buffer_.reset();
    }

  private:
    static void Visit(rapidxml::xml_node<>* node, WalkSums* sums) {
        ++sums->elements;
        sums->nameBytes += node->name_size();
        for (rapidxml::xml_attribute<>* a = node->first_attribute(); a; a = a->next_attribute()) {
            ++sums->attributes;
            sums->valueBytes += a->value_size();
        }
        for (rapidxml::xml_node<>* child = node->first_node(); child; child = child->next_sibling())
            if (child->type() == rapidxml::node_element)
                return;
        sums->textBytes += node->value_size();
    }

    std::unique_ptr<char[]> buffer_;
    std::unique_ptr<rapidxml::xml_document<>> doc_;
};

}  // namespace

std::unique_ptr<Engine> MakeRapidxmlEngine() {
    return std::make_unique<RapidxmlEngine>();
}
