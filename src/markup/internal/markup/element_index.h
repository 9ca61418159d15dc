// The element index: one fixed-size record per element, stored in pages of
// 65,536 records that never move once full.
#pragma once

#include <cstdint>

// Bits of ElementEntry::flags.
constexpr uint32_t kEntryLevelMask = 0xFFFF;      // nesting level (0 = top level)
constexpr uint32_t kEntryReleased = 0x20000;      // on the free list
constexpr uint32_t kEntryFirstChild = 0x80000;    // first child of its parent
constexpr uint32_t kEntryUnended = 0x100000;      // start tag without end tag
constexpr uint32_t kEntryErrorInside = 0x200000;  // a markup error inside this element
constexpr uint32_t kEntryIllFormed = 0x800000;    // set on the parse's root entry (entry 0)

// Largest values that the bit fields hold.
constexpr uint32_t kMaxStartTagLength = 0x3FFFFF;  // 22 bits: 4,194,303 bytes
constexpr uint32_t kMaxEndTagLength = 0x3FF;       // 10 bits: 1,023 bytes
constexpr uint32_t kMaxLevel = 0xFFFF;             // 16 bits

// One element of the document. Offsets are byte offsets into the document
// text; links are entry indexes, 0 meaning "none" (or the document for parent).
struct ElementEntry {
    int32_t start;        // offset of the "<" of the start tag
    int32_t length;       // whole element, start tag to end tag; start tag only when no end tag
    uint32_t tagLengths;  // bits 0-21 start-tag length, bits 22-31 end-tag length
    uint32_t flags;       // level and kEntry* bits
    int32_t parent;
    int32_t firstChild;
    int32_t nextSibling;
    int32_t prevSibling;  // for a first child: the parent's last child

    int32_t StartTagLength() const { return static_cast<int32_t>(tagLengths & kMaxStartTagLength); }
    int32_t EndTagLength() const { return static_cast<int32_t>(tagLengths >> 22); }
    // Callers check the limits above before setting; excess bits are cut off.
    void SetTagLengths(uint32_t startTag, uint32_t endTag) {
        tagLengths = (startTag & kMaxStartTagLength) | ((endTag & kMaxEndTagLength) << 22);
    }
    int32_t Level() const { return static_cast<int32_t>(flags & kEntryLevelMask); }
};

// Storage of ElementEntry records. The capacity grows in pages of 65,536
// entries (at most one page per call of Grow); the memory behind it comes
// in blocks of 2,048 entries (64 KiB), entry i in block i / 2048 at place
// i % 2048. A block never moves once full, so growing copies at most the
// part of the last block in use, and every block stays small enough for the
// allocator's heap. Slots are not cleared when allocated.
class ElementIndex {
  public:
    static constexpr int32_t kPageEntries = 65536;
    static constexpr int kBlockShift = 11;
    static constexpr int32_t kBlockEntries = 1 << kBlockShift;
    static constexpr int32_t kBlockMask = kBlockEntries - 1;

    ElementIndex() = default;
    ~ElementIndex();
    ElementIndex(const ElementIndex&) = delete;
    ElementIndex& operator=(const ElementIndex&) = delete;

    // The entry with index i; i must be below Capacity().
    ElementEntry& Entry(int32_t i) { return blocks_[i >> kBlockShift][i & kBlockMask]; }
    const ElementEntry& Entry(int32_t i) const { return blocks_[i >> kBlockShift][i & kBlockMask]; }

    int32_t Capacity() const { return capacity_; }
    // The block array (valid until the next Grow, Trim or Clear).
    ElementEntry* const* Blocks() const { return blocks_; }
    int32_t BlockSlots() const { return blockSlots_; }

    // Grows the capacity towards n entries, by at most one page per call, so
    // the capacity afterwards may still be below n. Existing entries keep
    // their values. Does nothing when the capacity is already n or more.
    void Grow(int32_t n);

    // Frees every block and the block array: capacity 0.
    void Clear();

    // While a parse fills the index, every block that is allocated or grown
    // gets room for `slots` entries at least (at most a block), so that the
    // growth of the capacity seldom moves one; Trim then gives back the room
    // beyond the capacity and ends the hint. The capacity follows Grow alone.
    void SetRoomHint(int32_t slots);
    void Trim();

  private:
    ElementEntry** blocks_ = nullptr;  // owned array of owned blocks
    int32_t capacity_ = 0;
    int32_t blockSlots_ = 0;
    int32_t lastRoom_ = 0;  // entries the last block's memory holds
    int32_t roomHint_ = 0;
};
