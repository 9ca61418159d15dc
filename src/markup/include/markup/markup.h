// CXmlDocument: an XML document held as one 8-bit text (ANSI code page) plus
// an index of its elements, read through three positions (parent, main,
// child). Bad input never stops the engine: problems go to the result report
// and to a false well-formedness answer; reads of absent items return empty
// text; moves that find nothing return false and leave the positions as
// they were. A document belongs to one thread at a time.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "markup/escaping.h"
#include "markup/outcome.h"

// Bits of the document flags word.
constexpr uint32_t kDocIgnoreCase = 0x08;   // names compare without regard to ASCII case
constexpr uint32_t kDocReadingFile = 0x10;  // read piecewise from a file (never left set)
constexpr uint32_t kDocWritingFile = 0x20;  // written piecewise to a file (never left set)

struct SavedPositionTable;
struct AttributeList;
struct ElementEntry;
class ElementIndex;
struct MarkupScanner;
struct DocumentInside;

class CXmlDocument {
  public:
    // An empty document (index capacity 8, entry 0 only, not well-formed).
    CXmlDocument();
    // A document parsed from `text` (null is the same as no text).
    explicit CXmlDocument(const char* text);
    explicit CXmlDocument(const std::string& text);
    ~CXmlDocument();
    CXmlDocument(const CXmlDocument&) = delete;
    CXmlDocument& operator=(const CXmlDocument&) = delete;

    // Replaces the text and parses it. Null frees the whole index first.
    // Returns the well-formedness answer; false without change while the
    // document is attached to a file (flags 0x10 or 0x20). When memory runs
    // out the document is left empty and not well-formed, with an
    // "out_of_memory" report entry; no exception leaves the call.
    bool SetDocText(const char* text);
    bool SetDocText(const std::string& text);

    // Reads `path`, converts it to the ANSI code page and parses it; the
    // result report records what the load met. False when the file cannot be
    // read or the document is not well-formed (and, as SetDocText, when
    // memory runs out).
    bool LoadFile(const char* path);

    // Builds the index for the whole text, resets the positions and returns
    // CheckWellFormed(). Appends the parse's entries to the result report.
    bool ParseDocument();
    // True when the parse found no markup error and exactly one root element.
    bool CheckWellFormed() const;

    // What the last SetDocText, LoadFile or ParseDocument met: kWellFormed
    // when it answered true, otherwise the first problem and where it was
    // met (a file that was not read, memory that ran out, or the first
    // problem of the parse). Callers decide on this, not on the report text.
    const XmlOutcome& GetOutcome() const { return outcome; }
    // The problems of the last parse in the order met, at most
    // kMaxListedProblems; empty when it was well-formed, and when the file
    // was not read or memory ran out (then the outcome alone tells).
    const std::vector<XmlOutcome>& GetProblems() const { return problems; }

    // Position primitive behind every move; refreshes the position view.
    void SetPositions(int32_t parent, int32_t main, int32_t child);
    void ResetPosition();
    void ResetMainPosition();
    // Moves the main position to the next element among the parent's
    // children named `name` (null or empty: any element).
    bool FindElement(const char* name);
    // Moves the child position to the next element among the main
    // element's children named `name`.
    bool FindChildElement(const char* name);
    bool IntoElement();
    bool OutOfElement();

    // The decoded value of attribute `name` of the main element; empty when absent.
    std::string GetAttribute(const char* name) const;
    // Text of the main (child) element; empty for mixed content, empty
    // elements and absent positions.
    std::string GetElementText() const;
    std::string GetChildText() const;

    // The same three reads as views, without a copy: into the document text
    // when the value holds nothing to decode, else into storage of the
    // calling thread. A view stays valid until the document is edited,
    // parsed again or destroyed, and until the next view read on the thread.
    std::string_view GetAttributeView(const char* name) const;
    std::string_view GetElementTextView() const;
    std::string_view GetChildTextView() const;
    // The main element's attribute number `index` (from 0, in the order of
    // the start tag, a repeated name each time) as views of its name and its
    // value, the value as GetAttributeView gives it. Names are never decoded:
    // the name is always a view into GetDocText(). False, and nothing set,
    // when there is no main element or no such attribute. Reading a tag's
    // attributes one index after the other costs one pass over it in all.
    bool GetAttributeAt(int32_t index, std::string_view* name, std::string_view* value) const;
    // The main element's name as its start tag writes it, a view into
    // GetDocText() (valid as the views above); empty without a main element.
    std::string_view GetElementName() const;
    // Where the main element's start tag begins in GetDocText() (its "<");
    // -1 without a main element.
    int32_t GetElementOffset() const;

    // Appends the empty element <name/> after the main position under the
    // parent position and makes it the main position. Only an empty (or
    // null) value with options 2 (no line breaks) is supported; anything
    // else, an invalid name, a parent element without children or a
    // document attached to a file is refused with false.
    bool AddElement(const char* name, const char* value, int options);
    // Sets attribute `name` of the main element (value escaped for an
    // attribute). False without change when there is no main element, the
    // name is not a valid attribute name, the start tag would outgrow its
    // length field, or the document is attached to a file.
    bool SetAttribute(const char* name, const char* value);
    bool SetAttribute(const char* name, int number);
    const std::string& GetDocText() const { return docText; }

    // A copy of the result report: what the last load or parse met, for
    // people and files (GetOutcome says it as a type).
    std::string GetResultReport() const { return resultReport; }

    int32_t GetParentPos() const { return parentPos; }
    int32_t GetMainPos() const { return mainPos; }
    int32_t GetChildPos() const { return childPos; }
    const char* GetPositionLabel() const { return positionLabel; }
    const char* GetPositionPointer() const { return positionPointer; }
    uint32_t GetFlags() const { return flags; }

  private:
    friend class ElementParser;
    friend struct DocumentInside;
    // The element index, for the engine's own units (defined in
    // markup/document_inside.h). GetEntry does no bounds check: i must be
    // below entryCount.
    inline ElementEntry& GetEntry(int32_t i);
    inline const ElementEntry& GetEntry(int32_t i) const;
    // Makes room for at least n entries (n 0: one and a half times the
    // entries in use), growing by at most one page; always true.
    bool ReserveEntries(int32_t n);
    // Index of a fresh entry (fields not cleared).
    int32_t NewEntry();
    // Links every element read from `scanner` under entry `parent`; returns
    // the index of the first element created, 0 if none.
    int32_t ParseElements(int32_t parent, MarkupScanner& scanner);
    // Records a problem of the parse: the outcome when it is the first, and
    // one of the listed problems while there is room.
    void NoteProblem(XmlStatus status, int32_t offset, int32_t offset2 = -1);
    void Construct(const char* text);
    // After std::bad_alloc in a parse or load: frees the text, leaves an
    // empty document that is not well-formed with an "out_of_memory" report
    // entry, and returns false. Allocates nothing while the index holds a page.
    bool AfterAllocationFailure();
    void RefreshPositionView();
    // The reads behind the string and view forms: the value as a view into
    // the text, or decoded into `into` (empty; null: the thread's buffer for
    // views) and viewed there.
    std::string_view ReadAttribute(const char* name, std::string* into) const;
    // The attribute list of the main element (see navigation.cpp).
    const AttributeList& MainAttributes() const;
    std::string_view ReadElementText(int32_t element, std::string* into) const;
    std::string TextOf(int32_t element) const;
    // `first` or the first of its later siblings whose name matches `name`
    // (any element for a null or empty name); 0 when none matches, or when
    // the name is absolute or no name at all.
    int32_t FindAmong(int32_t first, const char* name) const;
    bool FindMainCandidate(const char* name);
    bool ReplaceText(int32_t offset, int32_t oldLength, const std::string& text);
    void MoveOffsetsAfterEdit(int32_t element, int32_t delta);

    const char* positionLabel;
    const char* positionPointer;
    std::string docText;
    std::string resultReport;
    int32_t parentPos;
    int32_t mainPos;
    int32_t childPos;
    int32_t entryCount;
    int32_t freeEntry;
    int32_t mainNodeType;
    uint32_t flags;
    // What the document model has and this engine never uses: a node other
    // than an element at the main position, and piecewise reading or
    // writing through a file. Kept at the values the model gives them, and
    // read by nothing.
    struct NeverUsed {
        int32_t mainNodeOffset = 0;
        int32_t mainNodeLength = 0;
        void* streamFile = nullptr;
    } neverUsed;
    // Changes, to a value never used before in this process, whenever the
    // text or the index is rebuilt or edited; keys the attribute reader's
    // per-thread list of the last element's attributes.
    uint64_t textVersion = 0;
    void NewTextVersion();
    std::unique_ptr<SavedPositionTable> savedPositions;
    std::unique_ptr<ElementIndex> elementIndex;
    XmlOutcome outcome;
    std::vector<XmlOutcome> problems;
};
