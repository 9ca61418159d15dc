#include "markup/path_syntax.h"

#include "markup/char_class.h"

PathKind CheckPathSyntax(const char* path) {
    if (path == nullptr || path[0] == '\0') {
        return PathKind::Any;
    }
    if (path[0] == '/') {
        return PathKind::Absolute;
    }
    const char* p = path;
    // A name: one or more bytes other than space / = [ ] and zero.
    auto name = [&]() {
        const char* from = p;
        while ((CharClassOf(*p) & kCharNameDelim) == 0) {
            ++p;
        }
        return p != from;
    };
    for (;;) {
        if (!name()) {
            return PathKind::Invalid;
        }
        if (*p == '[') {
            ++p;
            if (*p >= '1' && *p <= '9') {
                while (*p >= '0' && *p <= '9') {
                    ++p;
                }
            } else if (*p == '@') {
                ++p;
                if (!name()) {
                    return PathKind::Invalid;
                }
                if (*p == '=') {
                    ++p;
                    if (*p == '\'' || *p == '"') {
                        const char quote = *p++;
                        while (*p != '\0' && *p != quote) {
                            ++p;
                        }
                        if (*p != quote) {
                            return PathKind::Invalid;
                        }
                        ++p;
                    } else {
                        while (*p != '\0' && *p != ']') {
                            ++p;
                        }
                    }
                }
            } else if (!name()) {
                return PathKind::Invalid;
            }
            if (*p != ']') {
                return PathKind::Invalid;
            }
            ++p;
        }
        if (*p == '\0') {
            return PathKind::Relative;
        }
        if (*p != '/') {
            return PathKind::Invalid;
        }
        ++p;
        if (*p == '@') {
            ++p;
            if (!name()) {
                return PathKind::Invalid;
            }
            return *p == '\0' ? PathKind::Relative : PathKind::Invalid;
        }
    }
}
