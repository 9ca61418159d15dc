#include "supervision/config_names.h"

#include <algorithm>
#include <cstring>
#include <string_view>
#include <utility>

#include "markup/markup.h"
#include "supervision/config_walk.h"
#include "supervision/config_wording.h"
#include "supervision/name_suggestion.h"
#include "supervision/text_place.h"

namespace {

namespace n = config_name;
using config_wording::Listed;
using config_wording::ShownName;

bool Is(std::string_view name, const char* known) {
    return name == std::string_view(known);
}

// The known element `name` read inside `parent` (null: at the top).
const KnownConfigElement* Known(const char* parent, std::string_view name) {
    for (const KnownConfigElement& known : KnownConfigElements()) {
        const bool sameParent =
            parent == nullptr ? known.parent == nullptr
                              : known.parent != nullptr && std::strcmp(known.parent, parent) == 0;
        if (sameParent && Is(name, known.name)) {
            return &known;
        }
    }
    return nullptr;
}

// The known element named `name` that is read inside another one; null
// when there is none.
const KnownConfigElement* Nested(std::string_view name) {
    for (const KnownConfigElement& known : KnownConfigElements()) {
        if (known.parent != nullptr && Is(name, known.name)) {
            return &known;
        }
    }
    return nullptr;
}

// What an element that is read nowhere where it stands is taken for: a
// misplaced one, a misspelt one, or neither.
std::string UnknownElementText(const KnownConfigElement& parent, std::string_view name) {
    std::vector<const char*> here;
    std::vector<const char*> nested;
    for (const KnownConfigElement& known : KnownConfigElements()) {
        if (known.parent != nullptr) {
            nested.push_back(known.name);
            if (std::strcmp(known.parent, parent.name) == 0) {
                here.push_back(known.name);
            }
        }
    }
    const std::string shown = "<" + ShownName(name) + ">";
    const std::string in = "<" + std::string(parent.name) + ">";
    if (const KnownConfigElement* misplaced = Nested(name)) {
        return shown + " belongs in <" + misplaced->parent + ">, not in " + in;
    }
    if (const char* guess = ResembledName(name, here)) {
        return "unknown element " + shown + " in " + in + " (" + DidYouMean(name, guess, true) +
               ")";
    }
    if (const char* far = ResembledName(name, nested)) {
        return "unknown element " + shown + " in " + in + " (did you mean <" + far +
               ">, which belongs in <" + Nested(far)->parent + ">?)";
    }
    std::vector<std::string> names;
    for (const char* known : here) {
        names.push_back("<" + std::string(known) + ">");
    }
    return "unknown element " + shown + " in " + in + " (" +
           (names.empty() ? "the daemon reads no element there"
                          : "the daemon reads " + Listed(names) + " there") +
           ")";
}

// Names every element and attribute of the configuration that the daemon
// does not read where it stands.
class NameCheck {
  public:
    NameCheck(CXmlDocument& document, const SystemFacts& facts)
        : document_(document), places_(document.GetDocText(), facts) {}

    // Walks the elements from the top element, which is `config`.
    std::vector<NameFinding> Run() {
        document_.ResetPosition();
        document_.FindElement(n::kConfig);
        Element(*Known(nullptr, n::kConfig), -1);
        document_.ResetPosition();
        return std::move(found_);
    }

  private:
    // The known element at the main position: its attributes, then its children.
    void Element(const KnownConfigElement& known, int app) {
        Attributes(known, app);
        document_.IntoElement();
        while (document_.FindElement(nullptr)) {
            const std::string_view name = document_.GetElementName();
            const int owner = Is(known.name, n::kConfig) && Is(name, n::kApp) ? apps_++ : app;
            if (const KnownConfigElement* child = Known(known.name, name)) {
                Element(*child, owner);
            } else {
                Add(Pitfall::kUnknownElement, owner, document_.GetElementOffset(),
                    UnknownElementText(known, name) + ": the daemon ignores it and all it holds");
            }
        }
        document_.OutOfElement();
    }

    void Attributes(const KnownConfigElement& known, int app) {
        std::string_view attribute;
        std::string_view value;
        std::vector<std::pair<std::string_view, std::string_view>> seen;
        for (int32_t i = 0; document_.GetAttributeAt(i, &attribute, &value); ++i) {
            if (std::none_of(known.attributes.begin(), known.attributes.end(),
                             [&](const char* name) { return Is(attribute, name); })) {
                UnknownAttribute(known, attribute, app);
                continue;
            }
            const auto first = std::find_if(seen.begin(), seen.end(), [&](const auto& earlier) {
                return earlier.first == attribute;
            });
            if (first == seen.end()) {
                seen.emplace_back(attribute, value);
            } else {
                RepeatedAttribute(known, attribute, first->second, value, app);
            }
        }
    }

    void UnknownAttribute(const KnownConfigElement& element, std::string_view name, int app) {
        std::string said = "unknown attribute " + ShownName(name) + " of <" + element.name + "> (";
        if (const char* guess = ResembledName(name, element.attributes)) {
            said += DidYouMean(name, guess, false);
        } else if (element.attributes.empty()) {
            said += "the daemon reads no attribute of it";
        } else {
            said += "the daemon reads " +
                    Listed(std::vector<std::string>(element.attributes.begin(),
                                                    element.attributes.end())) +
                    " there";
        }
        Add(Pitfall::kUnknownAttribute, app, OffsetOf(name), said + "): the daemon ignores it");
    }

    // A known attribute written again in one start tag: the engine answers
    // with the first, so the later ones change nothing.
    void RepeatedAttribute(const KnownConfigElement& element, std::string_view name,
                           std::string_view used, std::string_view ignored, int app) {
        Add(Pitfall::kRepeatedAttribute, app, OffsetOf(name),
            "attribute " + std::string(name) + " of <" + element.name +
                "> written again: the daemon reads the first, \"" + ShownName(used) +
                "\", and ignores \"" + ShownName(ignored) + "\"");
    }

    // Where a name the document handed out stands in its text.
    int32_t OffsetOf(std::string_view name) const {
        return static_cast<int32_t>(name.data() - document_.GetDocText().data());
    }

    void Add(Pitfall pitfall, int app, int32_t offset, const std::string& text) {
        found_.push_back(NameFinding{pitfall, app, places_.Said(offset) + ": " + text});
    }

    CXmlDocument& document_;
    PlaceCounter places_;
    int apps_ = 0;  // app elements met so far
    std::vector<NameFinding> found_;
};

}  // namespace

std::vector<NameFinding> CheckConfigNames(CXmlDocument& document, const SystemFacts& facts) {
    return NameCheck(document, facts).Run();
}
