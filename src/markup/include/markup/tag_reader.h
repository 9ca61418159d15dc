// Readers over a single start tag, shared by navigation, editing and the
// encoding detection of file loading: the element-name word reader, the name
// comparison and the attribute reader. Every read is bounded by the tag.
#pragma once

#include <cstdint>
#include <string>

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

// What the attribute reader found in one start tag.
struct AttributeMatch {
    bool found = false;
    bool hasValue = false;  // false for an attribute written without a value
    bool quoted = false;
    bool closed = false;    // a quoted value has its closing quote
    int32_t nameStart = 0;  // the attribute's name
    int32_t nameLength = 0;
    int32_t valueStart = 0;  // the value, quotes excluded
    int32_t valueLength = 0;
    int32_t stretchStart = 0;  // the value as written, quotes included
    int32_t stretchLength = 0;
    bool danglingEquals = false;  // the tag ends right after "name=" (no value written)
    int32_t stopPos = 0;  // where the reader stopped: after the last attribute or the tag name
};

// Reads the start tag text[tagStart..tagEnd) looking for attribute `name`;
// reading begins one byte after tagStart (after the "<"; pass the offset of
// the "?" for a processing instruction). A final ">" ends the tag and never
// becomes part of a value. The first attribute of that name wins; nothing at
// or after tagEnd, or after a zero byte, is read.
AttributeMatch ReadAttribute(const char* text, int32_t tagStart, int32_t tagEnd, const char* name,
                             uint32_t flags);

// One attribute of a start tag as ListAttributes reports it: what
// ReadAttribute would give for a name that matches this attribute first.
struct AttributeSpan {
    int32_t nameStart;
    int32_t nameLength;
    int32_t valueStart;   // quotes excluded
    int32_t valueLength;  // -1: written without a value
};

// Every attribute of the start tag text[tagStart..tagEnd), in order, read as
// ReadAttribute reads them: stores up to `capacity` spans and returns their
// number; *complete is false when the tag holds more.
int32_t ListAttributes(const char* text, int32_t tagStart, int32_t tagEnd, AttributeSpan* spans,
                       int32_t capacity, bool* complete);

// How a name argument of the element finder is to be taken.
enum class PathKind {
    Any,       // null or empty: any element
    Absolute,  // "/..." or "//...": finds nothing here
    Relative,  // a valid relative path: only the first step's name is used
    Invalid,
};
PathKind CheckPathSyntax(const char* path);
