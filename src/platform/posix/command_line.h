// The words of a command line as the POSIX launcher and the program search
// both read them.
#pragma once

#include <cstring>
#include <string>
#include <vector>

namespace platform {

// Splits a command line as a POSIX shell splits words: blanks separate,
// single quotes keep everything, double quotes keep all but \" \\ \$ \`
// escapes, a backslash outside quotes keeps the next character. Nothing is
// expanded.
inline std::vector<std::string> SplitCommandLine(const std::string& line) {
    std::vector<std::string> words;
    std::string word;
    bool inWord = false;
    for (size_t i = 0; i < line.size(); ++i) {
        char c = line[i];
        if (c == ' ' || c == '\t' || c == '\n') {
            if (inWord) {
                words.push_back(word);
                word.clear();
                inWord = false;
            }
            continue;
        }
        inWord = true;
        if (c == '\'') {
            size_t close = line.find('\'', i + 1);
            size_t end = close == std::string::npos ? line.size() : close;
            word.append(line, i + 1, end - i - 1);
            i = end;
        } else if (c == '"') {
            for (++i; i < line.size() && line[i] != '"'; ++i) {
                if (line[i] == '\\' && i + 1 < line.size() &&
                    std::strchr("\"\\$`", line[i + 1]) != nullptr) {
                    ++i;
                }
                word += line[i];
            }
        } else if (c == '\\' && i + 1 < line.size()) {
            word += line[++i];
        } else {
            word += c;
        }
    }
    if (inWord) {
        words.push_back(word);
    }
    return words;
}

}  // namespace platform
