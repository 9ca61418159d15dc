// The inside of a CXmlDocument that its callers never see: the element index
// by entry number, without bounds checks, and the flags word. For the
// engine's own units, tests and fuzz targets.
#pragma once

#include <cstdint>

#include "markup/element_index.h"
#include "markup/markup.h"

inline ElementEntry& CXmlDocument::GetEntry(int32_t i) {
    return elementIndex->Entry(i);
}

inline const ElementEntry& CXmlDocument::GetEntry(int32_t i) const {
    return elementIndex->Entry(i);
}

struct DocumentInside {
    // Entry i of the index; i must be below EntryCount(doc).
    static ElementEntry& Entry(CXmlDocument& doc, int32_t i) { return doc.GetEntry(i); }
    static const ElementEntry& Entry(const CXmlDocument& doc, int32_t i) { return doc.GetEntry(i); }
    // Entries in use, entry 0 (the document) included.
    static int32_t EntryCount(const CXmlDocument& doc) { return doc.entryCount; }
    static int32_t IndexCapacity(const CXmlDocument& doc) { return doc.elementIndex->Capacity(); }
    static const ElementIndex& Index(const CXmlDocument& doc) { return *doc.elementIndex; }
    static bool ReserveEntries(CXmlDocument& doc, int32_t n) { return doc.ReserveEntries(n); }
    static int32_t NewEntry(CXmlDocument& doc) { return doc.NewEntry(); }
    // Sets the flags word (kDocIgnoreCase, or the file bits nothing else sets).
    static void SetFlags(CXmlDocument& doc, uint32_t value) { doc.flags = value; }
};
