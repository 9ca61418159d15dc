#include <atomic>
#include <cstring>
#include <vector>

#include "markup/char_class.h"
#include "markup/document_inside.h"
#include "markup/markup.h"
#include "markup/path_syntax.h"
#include "markup/tag_reader.h"
#include "markup/tokenizer.h"
#include "platform/compiler.h"

int32_t CXmlDocument::FindAmong(int32_t candidate, const char* name) const {
    const PathKind kind =
        name == nullptr || name[0] == '\0' ? PathKind::Any : CheckPathSyntax(name);
    if (kind == PathKind::Absolute || kind == PathKind::Invalid) {
        return 0;
    }
    if (kind == PathKind::Any) {
        return candidate;
    }
    const char* text = docText.c_str();
    for (; candidate != 0; candidate = GetEntry(candidate).nextSibling) {
        const ElementEntry& entry = GetEntry(candidate);
        int32_t wordStart = 0;
        const int32_t wordLength =
            ReadWord(text, entry.start + 1, entry.start + entry.StartTagLength(), &wordStart);
        if (wordLength > 0 && MatchName(text, wordStart, wordStart + wordLength - 1, name, flags)) {
            return candidate;
        }
    }
    return 0;
}

bool CXmlDocument::FindElement(const char* name) {
    if (flags & kDocWritingFile) {
        return false;
    }
    const int32_t first =
        mainPos != 0 ? GetEntry(mainPos).nextSibling : GetEntry(parentPos).firstChild;
    const int32_t found = FindAmong(first, name);
    if (found == 0) {
        return false;
    }
    SetPositions(GetEntry(found).parent, found, 0);
    return true;
}

bool CXmlDocument::FindChildElement(const char* name) {
    if (flags & (kDocReadingFile | kDocWritingFile)) {
        return false;
    }
    if (mainPos == 0) {
        FindElement(nullptr);
    }
    // Without a main element there are no children to look among (rather
    // than falling back to the top-level elements).
    if (mainPos == 0) {
        return false;
    }
    const int32_t first =
        childPos != 0 ? GetEntry(childPos).nextSibling : GetEntry(mainPos).firstChild;
    const int32_t found = FindAmong(first, name);
    if (found == 0) {
        return false;
    }
    const int32_t main = GetEntry(found).parent;
    SetPositions(GetEntry(main).parent, main, found);
    return true;
}

std::string_view CXmlDocument::GetElementName() const {
    if (mainPos == 0) {
        return std::string_view();
    }
    const ElementEntry& entry = GetEntry(mainPos);
    const char* const text = docText.c_str();
    const char* const name = text + entry.start + 1;
    const char* const end = text + entry.start + entry.StartTagLength();
    // The usual name, ASCII right after the "<", is read here; one that
    // starts otherwise or holds a byte of 0x80 and up (a lead byte) is read
    // by the word reader, stepping by characters.
    const char* p = name;
    while (p < end && static_cast<unsigned char>(*p) < 0x80 &&
           (CharClassOf(*p) & kCharWordEnd) == 0) {
        ++p;
    }
    if (p > name && (p == end || static_cast<unsigned char>(*p) < 0x80)) {
        return std::string_view(name, static_cast<size_t>(p - name));
    }
    int32_t wordStart = 0;
    const int32_t length =
        ReadWord(text, entry.start + 1, entry.start + entry.StartTagLength(), &wordStart);
    return std::string_view(text + wordStart, static_cast<size_t>(length));
}

int32_t CXmlDocument::GetElementOffset() const {
    return mainPos == 0 ? -1 : GetEntry(mainPos).start;
}

bool CXmlDocument::IntoElement() {
    if (mainPos == 0 || mainNodeType != 1) {
        return false;
    }
    SetPositions(mainPos, childPos, 0);
    return true;
}

bool CXmlDocument::OutOfElement() {
    if (parentPos == 0) {
        return false;
    }
    SetPositions(GetEntry(parentPos).parent, parentPos, mainPos);
    return true;
}

// The attributes of the element whose attribute was last read on this
// thread. A caller that reads several attributes of one element then pays
// for one pass over its start tag, not one per attribute. Per thread, so
// that const reads of one document from several threads stay safe.
struct AttributeList {
    static constexpr int32_t kCapacity = 32;
    const void* document = nullptr;
    uint64_t version = 0;
    int32_t tagStart = -1;
    int32_t tagEnd = -1;
    int32_t count = 0;
    bool complete = false;
    AttributeSpan spans[kCapacity] = {};
};
namespace {

thread_local AttributeList lastAttributes;

// Every attribute of the element whose attribute past AttributeList's
// capacity was last read on this thread: a caller that reads such a tag's
// attributes in order pays one more pass over it, not one per attribute.
struct EveryAttributeList {
    const void* document = nullptr;
    uint64_t version = 0;
    int32_t tagStart = -1;
    int32_t tagEnd = -1;
    std::vector<AttributeSpan> spans;
};
thread_local EveryAttributeList everyAttribute;

std::atomic<uint64_t> lastTextVersion{0};

}  // namespace

void CXmlDocument::NewTextVersion() {
    textVersion = lastTextVersion.fetch_add(1, std::memory_order_relaxed) + 1;
}

namespace {

// Where view reads put what they decode (see GetAttributeView).
thread_local std::string decodedForViews;

// A buffer for decoding: the thread's own for view reads, emptied.
std::string& ViewBuffer() {
    std::string& buffer = decodedForViews;
    buffer.clear();
    return buffer;
}

// Whether the value needs decoding: it holds an "&", or white space is to
// be trimmed or collapsed. Otherwise decoding would copy it unchanged.
bool NeedsDecoding(const char* value, int32_t length, uint32_t flags) {
    if ((flags & (kUnescapeTrim | kUnescapeCollapse)) != 0) {
        return true;
    }
    constexpr int32_t kShortValue = 16;
    if (length > kShortValue) {
        return std::memchr(value, '&', static_cast<size_t>(length)) != nullptr;
    }
    for (int32_t i = 0; i < length; ++i) {
        if (value[i] == '&') {
            return true;
        }
    }
    return false;
}

// The value text[start..start + length) decoded with `flags`, as a view: of
// the text itself when there is nothing to decode, else of `into` (an empty
// string, or null for the thread's view buffer), which receives it.
inline std::string_view Decoded(const char* text, int32_t start, int32_t length, uint32_t flags,
                                std::string* into) {
    if (!NeedsDecoding(text + start, length, flags)) {
        return std::string_view(text + start, static_cast<size_t>(length));
    }
    std::string& buffer = into != nullptr ? *into : ViewBuffer();
    AppendUnescaped(text + start, length, flags, buffer);
    return buffer;
}

}  // namespace

std::string CXmlDocument::GetAttribute(const char* name) const {
    std::string value;
    const std::string_view read = ReadAttribute(name, &value);
    if (!read.empty() && read.data() != value.data()) {
        value.assign(read.data(), read.size());
    }
    return value;
}

std::string_view CXmlDocument::GetAttributeView(const char* name) const {
    return ReadAttribute(name, nullptr);
}

namespace {

// Lists the attributes of the start tag text[tagStart..tagEnd) of `document`
// (text version `version`) into `list`.
ZELK_NOINLINE void FillAttributeList(AttributeList& list, const void* document, uint64_t version,
                                     const char* text, int32_t tagStart, int32_t tagEnd) {
    list.document = document;
    list.version = version;
    list.tagStart = tagStart;
    list.tagEnd = tagEnd;
    AttributeEnd end;
    list.count = ListAttributes(text, tagStart, tagEnd, list.spans, AttributeList::kCapacity, &end);
    list.complete = end.complete;
}

}  // namespace

const AttributeList& CXmlDocument::MainAttributes() const {
    const ElementEntry& entry = GetEntry(mainPos);
    const int32_t tagEnd = entry.start + entry.StartTagLength();
    AttributeList& list = lastAttributes;
    if (list.document != this || list.version != textVersion || list.tagStart != entry.start ||
        list.tagEnd != tagEnd) {
        FillAttributeList(list, this, textVersion, docText.c_str(), entry.start, tagEnd);
    }
    return list;
}

bool CXmlDocument::GetAttributeAt(int32_t index, std::string_view* name,
                                  std::string_view* value) const {
    if (mainPos == 0 || index < 0) {
        return false;
    }
    const AttributeList& list = MainAttributes();
    const char* text = docText.c_str();
    const AttributeSpan* span = nullptr;
    if (index < list.count) {
        span = &list.spans[index];
    } else if (!list.complete) {
        // Past the listed ones: the whole tag, listed once.
        EveryAttributeList& every = everyAttribute;
        if (every.document != this || every.version != textVersion ||
            every.tagStart != list.tagStart || every.tagEnd != list.tagEnd) {
            every.document = this;
            every.version = textVersion;
            every.tagStart = list.tagStart;
            every.tagEnd = list.tagEnd;
            ListEveryAttribute(text, list.tagStart, list.tagEnd, &every.spans);
        }
        if (static_cast<size_t>(index) < every.spans.size()) {
            span = &every.spans[static_cast<size_t>(index)];
        }
    }
    if (span == nullptr) {
        return false;
    }
    *name = std::string_view(text + span->nameStart, static_cast<size_t>(span->nameLength));
    *value = span->valueLength < 0
                 ? *name
                 : Decoded(text, span->valueStart, span->valueLength, flags, nullptr);
    return true;
}

std::string_view CXmlDocument::ReadAttribute(const char* name, std::string* into) const {
    if (mainPos == 0 || name == nullptr) {
        return std::string_view();
    }
    const ElementEntry& entry = GetEntry(mainPos);
    const char* text = docText.c_str();
    const int32_t tagEnd = entry.start + entry.StartTagLength();
    const AttributeList& list = MainAttributes();
    // The first attribute whose name matches wins, as in the start tag.
    const int32_t nameLength = static_cast<int32_t>(std::strlen(name));
    const AttributeSpan* found = nullptr;
    for (int32_t i = 0; i < list.count && found == nullptr; ++i) {
        const AttributeSpan& span = list.spans[i];
        // A name longer than the one asked for, or with another first byte
        // when case counts, cannot match.
        if (span.nameLength <= nameLength &&
            ((flags & kDocIgnoreCase) || text[span.nameStart] == name[0]) &&
            MatchNameSpan(text, span.nameStart, span.nameStart + span.nameLength - 1, name,
                          nameLength, flags)) {
            found = &span;
        }
    }
    AttributeSpan beyond;
    if (found == nullptr && !list.complete &&
        FindAttribute(text, entry.start, tagEnd, name, flags, &beyond, nullptr)) {
        found = &beyond;
    }
    if (found == nullptr) {
        return std::string_view();
    }
    if (found->valueLength < 0) {
        // Written without a value: it reads as its name.
        return std::string_view(text + found->nameStart, static_cast<size_t>(found->nameLength));
    }
    return Decoded(text, found->valueStart, found->valueLength, flags, into);
}

std::string CXmlDocument::GetElementText() const {
    return TextOf(mainPos);
}

std::string CXmlDocument::GetChildText() const {
    return TextOf(childPos);
}

std::string_view CXmlDocument::GetElementTextView() const {
    return mainPos == 0 ? std::string_view() : ReadElementText(mainPos, nullptr);
}

std::string_view CXmlDocument::GetChildTextView() const {
    return childPos == 0 ? std::string_view() : ReadElementText(childPos, nullptr);
}

std::string CXmlDocument::TextOf(int32_t element) const {
    std::string text;
    if (element != 0) {
        const std::string_view read = ReadElementText(element, &text);
        if (!read.empty() && read.data() != text.data()) {
            text.assign(read.data(), read.size());
        }
    }
    return text;
}

std::string_view CXmlDocument::ReadElementText(int32_t element, std::string* into) const {
    const ElementEntry& entry = GetEntry(element);
    const int32_t startTag = entry.StartTagLength();
    if (entry.length == startTag || entry.firstChild != 0) {
        return std::string_view();  // empty, unended, or mixed content
    }
    const int32_t contentStart = entry.start + startTag;
    const int32_t contentLength = entry.length - startTag - entry.EndTagLength();
    if (contentLength <= 0) {
        return std::string_view();
    }
    const char* text = docText.c_str();
    if (std::memchr(text + contentStart, '<', static_cast<size_t>(contentLength)) == nullptr) {
        return Decoded(text, contentStart, contentLength, flags, into);
    }
    // Tokens never reach past the content: the scanner ends there.
    std::string& buffer = into != nullptr ? *into : ViewBuffer();
    MarkupScanner scanner(text, flags, contentStart + contentLength);
    scanner.pos = contentStart;
    MarkupToken token;
    for (;;) {
        const TokenKind kind = ScanToken(scanner, token);
        if (kind == TokenKind::EndOfText) {
            break;
        }
        if (kind == TokenKind::Text) {
            AppendUnescaped(text + token.start, token.length, flags, buffer);
        } else if (kind == TokenKind::CDataSection) {
            // The bytes between "<![CDATA[" and "]]>", only when the token
            // is long enough to hold both.
            constexpr int32_t kOpener = 9;
            constexpr int32_t kCloser = 3;
            if (token.length > kOpener + kCloser) {
                buffer.append(text + token.start + kOpener,
                              static_cast<size_t>(token.length - kOpener - kCloser));
            }
        }
    }
    return buffer;
}
