// The table of encoding names and their Windows code pages, generated into
// encoding_table.cpp by scripts/gen_encoding_table.py from data/encodings.tsv.
#pragma once

#include <cstdint>

constexpr int kEncodingBucketCount = 155;

// One string per bucket, entries written one after another: two digits of name
// length, five digits of code page, then the lower-case name ("0800949ksc_5601").
// An empty bucket is an empty string. A name's bucket is EncodingBucketOf(name).
extern const char* const kEncodingBuckets[kEncodingBucketCount];

// Bucket of a lower-case name: the sum of its bytes taken as signed 8-bit values,
// as an unsigned 32-bit number, modulo the bucket count.
inline int EncodingBucketOf(const char* name, int length) {
    uint32_t sum = 0;
    for (int i = 0; i < length; ++i) {
        sum += static_cast<uint32_t>(static_cast<int32_t>(static_cast<signed char>(name[i])));
    }
    return static_cast<int>(sum % kEncodingBucketCount);
}
