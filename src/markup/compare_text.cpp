#include "markup/compare_text.h"

namespace {

inline int FoldUpper(int c) {
    return (c >= 'a' && c <= 'z') ? c - ('a' - 'A') : c;
}

}  // namespace

int CompareText(const char* a, const char* b, int count, bool ignoreCase) {
    bool exactFromHere = false;  // set after an equal byte of 0x80 or more
    for (int i = 0; i < count; ++i) {
        const int x = static_cast<signed char>(a[i]);
        const int y = static_cast<signed char>(b[i]);
        if (x == y) {
            if (x < 0) {
                exactFromHere = true;
            }
            continue;
        }
        if (!ignoreCase || exactFromHere) {
            return x - y;
        }
        const int fx = FoldUpper(x);
        const int fy = FoldUpper(y);
        if (fx != fy) {
            return fx - fy;
        }
    }
    return 0;
}
