#include "supervision/name_suggestion.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>

namespace {

char Lower(char c) {
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

}  // namespace

int NameDistance(std::string_view a, std::string_view b, int limit) {
    const int la = static_cast<int>(a.size());
    const int lb = static_cast<int>(b.size());
    if (std::abs(la - lb) > limit) {
        return limit + 1;
    }
    std::vector<std::vector<int>> d(static_cast<std::size_t>(la) + 1,
                                    std::vector<int>(static_cast<std::size_t>(lb) + 1));
    for (int i = 0; i <= la; ++i) {
        for (int j = 0; j <= lb; ++j) {
            int& here = d[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)];
            if (i == 0 || j == 0) {
                here = i + j;
                continue;
            }
            const auto at = [&](int x, int y) {
                return d[static_cast<std::size_t>(x)][static_cast<std::size_t>(y)];
            };
            const char ca = Lower(a[static_cast<std::size_t>(i - 1)]);
            const char cb = Lower(b[static_cast<std::size_t>(j - 1)]);
            here = std::min({at(i - 1, j) + 1, at(i, j - 1) + 1, at(i - 1, j - 1) + (ca != cb)});
            if (i > 1 && j > 1 && ca == Lower(b[static_cast<std::size_t>(j - 2)]) &&
                Lower(a[static_cast<std::size_t>(i - 2)]) == cb) {
                here = std::min(here, at(i - 2, j - 2) + 1);
            }
        }
    }
    return std::min(d.back().back(), limit + 1);
}

const char* ResembledName(std::string_view name, const std::vector<const char*>& known) {
    const char* best = nullptr;
    int bestDistance = 0;
    for (const char* candidate : known) {
        const int limit = std::max<int>(1, static_cast<int>(std::strlen(candidate)) / 3);
        const int distance = NameDistance(name, candidate, limit);
        if (distance <= limit && (best == nullptr || distance < bestDistance)) {
            best = candidate;
            bestDistance = distance;
        }
    }
    return best;
}

std::string DidYouMean(std::string_view name, const char* known, bool element) {
    const std::string shown = element ? "<" + std::string(known) + ">" : std::string(known);
    return "did you mean " + shown + "?" +
           (NameDistance(name, known, 0) == 0 ? " names are case-sensitive" : "");
}
