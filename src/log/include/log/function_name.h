// ZELK_FUNCTION_NAME: the qualified name of the enclosing function, as log
// lines show it ("CDaemon::Start", "CDaemon::~CDaemon", "ServiceStop").
// MSVC's __FUNCTION__ is qualified already; GCC's and Clang's are not, so
// there the name is cut out of __PRETTY_FUNCTION__ at compile time.
#pragma once

#include <cstddef>

namespace zelk_log_detail {

template <std::size_t N>
struct FunctionName {
    char text[N] = {};
};

// Where the qualified name sits inside a pretty function signature such as
// "bool CDaemon::Start()" or "std::vector<int> ns::F<T>::G(int) [with T = int]":
// it ends at the first "(" outside template brackets and starts after the
// last blank before it that is outside template brackets.
struct NameSpan {
    std::size_t begin;
    std::size_t end;
};

constexpr NameSpan FindQualifiedName(const char* pretty, std::size_t length) {
    std::size_t end = length;
    int depth = 0;
    for (std::size_t i = 0; i < length; ++i) {
        char c = pretty[i];
        if (c == '<') {
            ++depth;
        } else if (c == '>' && depth > 0) {
            --depth;
        } else if (c == '(' && depth == 0) {
            end = i;
            break;
        }
    }
    std::size_t begin = 0;
    depth = 0;
    for (std::size_t i = end; i > 0; --i) {
        char c = pretty[i - 1];
        if (c == '>') {
            ++depth;
        } else if (c == '<' && depth > 0) {
            --depth;
        } else if ((c == ' ' || c == '*' || c == '&') && depth == 0) {
            begin = i;
            break;
        }
    }
    return NameSpan{begin, end};
}

template <std::size_t N>
constexpr FunctionName<N> QualifiedName(const char (&pretty)[N]) {
    FunctionName<N> name{};
    NameSpan span = FindQualifiedName(pretty, N - 1);
    for (std::size_t i = span.begin; i < span.end; ++i) {
        name.text[i - span.begin] = pretty[i];
    }
    return name;
}

}  // namespace zelk_log_detail

#if defined(_MSC_VER)
#define ZELK_FUNCTION_NAME __FUNCTION__
#else
#define ZELK_FUNCTION_NAME                                         \
    (__extension__({                                               \
        static constexpr auto zelk_function_name_ =                \
            ::zelk_log_detail::QualifiedName(__PRETTY_FUNCTION__); \
        zelk_function_name_.text;                                  \
    }))
#endif
