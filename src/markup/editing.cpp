#include <cstring>
#include <limits>

#include "markup/char_class.h"
#include "markup/document_inside.h"
#include "markup/markup.h"
#include "markup/tag_reader.h"

namespace {

// Names that editing writes: a letter, "_", ":" or a byte of 0x80 and up,
// then also digits, "-" and ".". Anything else could break the markup.
bool IsWritableName(const char* name) {
    if (name == nullptr || name[0] == '\0' || name[0] == '#' ||
        (CharClassOf(name[0]) & kCharRefStart) == 0) {
        return false;
    }
    for (const char* p = name + 1; *p != '\0'; ++p) {
        if ((CharClassOf(*p) & kCharRefMore) == 0) {
            return false;
        }
    }
    return true;
}

// Adds `delta` to the start of `root` and of every element below it.
void ShiftSubtree(CXmlDocument& doc, int32_t root, int32_t delta) {
    DocumentInside::Entry(doc, root).start += delta;
    int32_t x = DocumentInside::Entry(doc, root).firstChild;
    while (x != 0) {
        ElementEntry& entry = DocumentInside::Entry(doc, x);
        entry.start += delta;
        if (entry.firstChild != 0) {
            x = entry.firstChild;
            continue;
        }
        while (x != root && DocumentInside::Entry(doc, x).nextSibling == 0) {
            x = DocumentInside::Entry(doc, x).parent;
        }
        if (x == root) {
            break;
        }
        x = DocumentInside::Entry(doc, x).nextSibling;
    }
}

}  // namespace

void CXmlDocument::MoveOffsetsAfterEdit(int32_t element, int32_t delta) {
    // Everything below the edited element and everything after it moves;
    // every enclosing element, up to the document, grows.
    for (int32_t child = GetEntry(element).firstChild; child != 0;
         child = GetEntry(child).nextSibling) {
        ShiftSubtree(*this, child, delta);
    }
    int32_t x = element;
    for (;;) {
        for (int32_t next = GetEntry(x).nextSibling; next != 0; next = GetEntry(next).nextSibling) {
            ShiftSubtree(*this, next, delta);
        }
        const int32_t up = GetEntry(x).parent;
        GetEntry(up).length += delta;
        if (up == 0) {
            break;
        }
        x = up;
    }
}

bool CXmlDocument::ReplaceText(int32_t offset, int32_t oldLength, const std::string& text) {
    const size_t newLength = docText.size() - static_cast<size_t>(oldLength) + text.size();
    if (newLength >= static_cast<size_t>(std::numeric_limits<int32_t>::max())) {
        return false;
    }
    if (docText.capacity() < newLength) {
        docText.reserve(newLength + newLength / 2 + 128);
    }
    docText.replace(static_cast<size_t>(offset), static_cast<size_t>(oldLength), text);
    NewTextVersion();
    return true;
}

bool CXmlDocument::AddElement(const char* name, const char* value, int options) {
    if ((flags & kDocReadingFile) || options != 2 || (value != nullptr && value[0] != '\0') ||
        !IsWritableName(name)) {
        return false;
    }
    const int32_t p = parentPos;
    int32_t m = mainPos;
    int32_t offset;
    if (m != 0) {
        offset = GetEntry(m).start + GetEntry(m).length;
    } else {
        const ElementEntry& container = GetEntry(p);
        if (p != 0 && (container.firstChild == 0 || container.EndTagLength() == 0)) {
            return false;  // would need the parent's tags rewritten
        }
        offset = p == 0 ? static_cast<int32_t>(docText.size())
                        : container.start + container.length - container.EndTagLength();
        m = container.firstChild != 0 ? GetEntry(container.firstChild).prevSibling : 0;
    }
    const std::string text = std::string("<") + name + "/>";
    const int32_t length = static_cast<int32_t>(text.size());
    if (!ReplaceText(offset, 0, text)) {
        return false;
    }
    const int32_t e = NewEntry();
    ElementEntry& entry = GetEntry(e);
    entry.start = offset;
    entry.length = length;
    entry.SetTagLengths(static_cast<uint32_t>(length), 0);
    entry.firstChild = 0;
    uint32_t level = 0;
    if (p != 0) {
        level = static_cast<uint32_t>(GetEntry(p).Level()) + 1;
        if (level > kMaxLevel) {
            level = kMaxLevel;
        }
    }
    entry.flags = level;
    entry.parent = p;
    if (m == 0) {
        GetEntry(p).firstChild = e;
        entry.flags |= kEntryFirstChild;
        entry.prevSibling = e;
        entry.nextSibling = 0;
    } else {
        ElementEntry& before = GetEntry(m);
        entry.nextSibling = before.nextSibling;
        before.nextSibling = e;
        entry.prevSibling = m;
        if (entry.nextSibling != 0) {
            GetEntry(entry.nextSibling).prevSibling = e;
        } else {
            GetEntry(GetEntry(p).firstChild).prevSibling = e;
        }
    }
    MoveOffsetsAfterEdit(e, length);
    SetPositions(p, e, 0);
    return true;
}

bool CXmlDocument::SetAttribute(const char* name, const char* value) {
    if ((flags & kDocReadingFile) || mainPos == 0 || !IsWritableName(name)) {
        return false;
    }
    const std::string escaped = EscapeValue(value == nullptr ? "" : value, kEscapeAttribute);
    ElementEntry& entry = GetEntry(mainPos);
    const int32_t startTag = entry.StartTagLength();
    AttributeSpan found;
    AttributeEnd end;
    const bool has = FindAttribute(docText.c_str(), entry.start, entry.start + startTag, name,
                                   flags, &found, &end);
    int32_t at;
    int32_t replaced = 0;
    std::string text;
    if (has && found.valueLength >= 0) {
        if (found.quoted && !found.closed) {
            return false;  // no closing quote: the stretch to replace is unclear
        }
        at = found.StretchStart();
        replaced = found.StretchLength();
        text = "\"" + escaped + "\"";
    } else if (has) {
        // Written without a value: the value goes after the name.
        at = found.nameStart + found.nameLength;
        text = "=\"" + escaped + "\"";
    } else {
        at = end.stopPos;
        // After a dangling "y=" the new attribute would read as y's value:
        // give y its (empty) value first.
        text = std::string(end.danglingEquals ? "\"\" " : " ") + name + "=\"" + escaped + "\"";
    }
    const int32_t delta = static_cast<int32_t>(text.size()) - replaced;
    if (static_cast<int64_t>(startTag) + delta > static_cast<int64_t>(kMaxStartTagLength)) {
        return false;  // the start tag would outgrow its length field
    }
    if (!ReplaceText(at, replaced, text)) {
        return false;
    }
    ElementEntry& edited = GetEntry(mainPos);
    edited.SetTagLengths(static_cast<uint32_t>(startTag + delta),
                         static_cast<uint32_t>(edited.EndTagLength()));
    edited.length += delta;
    MoveOffsetsAfterEdit(mainPos, delta);
    RefreshPositionView();
    return true;
}

bool CXmlDocument::SetAttribute(const char* name, int number) {
    return SetAttribute(name, std::to_string(number).c_str());
}
