// Readers over a single start tag, shared by navigation, editing, the result
// report and the encoding detection of file loading: the element-name word
// reader, the name comparison and the attribute reader. Every read is
// bounded by the tag.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Reads the word that starts after skipping whitespace at `pos` and stops
// before `end`: the run up to whitespace or one of ! " ' / ; < = > ? \ (bytes
// of 0x80 and up never end it); when the first byte is already one of those,
// the word is that byte. Sets *wordStart and returns the word's length (0 at
// the end of the text).
int32_t ReadWord(const char* text, int32_t pos, int32_t end, int32_t* wordStart);

// True when the name text[nameStart..nameEnd] matches `given`: the given
// name's first n bytes equal it (ASCII case ignored with flags 0x08) and the
// byte after them is its end or one of space / = [ ].
bool MatchName(const char* text, int32_t nameStart, int32_t nameEnd, const char* given,
               uint32_t flags);
// The same with a given name of `givenLength` bytes that need not end in a
// zero byte (a name held in the text itself).
bool MatchNameSpan(const char* text, int32_t nameStart, int32_t nameEnd, const char* given,
                   int32_t givenLength, uint32_t flags);

// One attribute of a start tag as the attribute reader finds it.
struct AttributeSpan {
    int32_t nameStart = 0;
    int32_t nameLength = 0;
    int32_t valueStart = 0;    // quotes excluded
    int32_t valueLength = -1;  // -1: written without a value (it reads as its name)
    bool quoted = false;
    bool closed = false;  // a quoted value has its closing quote

    // The value as written, quotes included: what an edit replaces.
    int32_t StretchStart() const { return quoted ? valueStart - 1 : valueStart; }
    int32_t StretchLength() const { return valueLength + (quoted ? 1 + (closed ? 1 : 0) : 0); }
};

// Where the attribute reader stopped in a start tag.
struct AttributeEnd {
    int32_t stopPos = 0;  // after the tag name or the last attribute, before what ends the tag
    bool danglingEquals = false;  // the tag ends right after "name=" (no value written)
    bool complete = true;         // every attribute was listed
};

// The attribute reader: lists the attributes of the start tag
// text[tagStart..tagEnd) in order, up to `capacity` of them, and returns
// their number. Reading begins one byte after tagStart (after the "<"; pass
// the offset of the "?" for a processing instruction), passes over the
// element's own name, and ends at ">", "/" or "?" outside values, at the end
// of the tag (a final ">" never becomes part of a value) or at a zero byte.
// A name followed by "=" takes the next token (quoted, or up to whitespace or
// ">") as its value; a name followed by a quoted token takes that; any other
// name has no value. `end` (optional) receives where the reading stopped.
int32_t ListAttributes(const char* text, int32_t tagStart, int32_t tagEnd, AttributeSpan* spans,
                       int32_t capacity, AttributeEnd* end);

// Every attribute of the start tag, in order, into `*spans` (replacing
// what it held): ListAttributes without a capacity.
void ListEveryAttribute(const char* text, int32_t tagStart, int32_t tagEnd,
                        std::vector<AttributeSpan>* spans);

// The first attribute of the start tag whose name matches `name` (the name
// comparison above, with `flags`), read as ListAttributes reads it. False
// when there is none; `end` (optional) then receives where the reading
// stopped, which is where a new attribute would go.
bool FindAttribute(const char* text, int32_t tagStart, int32_t tagEnd, const char* name,
                   uint32_t flags, AttributeSpan* found, AttributeEnd* end);
