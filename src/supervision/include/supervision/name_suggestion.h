// Which known name an unknown one was meant to be: edit distance, ASCII
// letter case ignored, and the question a finding asks with it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// Edits (insertions, deletions, substitutions, swaps of neighbours) that
// turn `a` into `b`, ASCII case ignored; above `limit` it gives limit + 1.
int NameDistance(std::string_view a, std::string_view b, int limit);

// The name of `known` that `name` most resembles, when it is close enough to
// be a slip of the keyboard: at most one edit in three letters (one at
// least); null when none is. Of two as close, the first.
const char* ResembledName(std::string_view name, const std::vector<const char*>& known);

// "did you mean X?" for the known name `known` that `name` resembles (an
// element's in angle brackets); a difference of letter case alone is named.
std::string DidYouMean(std::string_view name, const char* known, bool element);
