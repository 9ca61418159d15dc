#include "markup/path_syntax.h"

#include <gtest/gtest.h>

namespace {

TEST(CheckPathSyntax, Classification) {
    EXPECT_EQ(CheckPathSyntax(nullptr), PathKind::Any);
    EXPECT_EQ(CheckPathSyntax(""), PathKind::Any);
    EXPECT_EQ(CheckPathSyntax("/a"), PathKind::Absolute);
    EXPECT_EQ(CheckPathSyntax("//a"), PathKind::Absolute);
    for (const char* ok :
         {"a", "a/b", "a[1]", "a[10]/b", "a[@x]", "a[@x='1]']", "a[@x=1]", "a[b]/c/@d", "a/@d"}) {
        EXPECT_EQ(CheckPathSyntax(ok), PathKind::Relative) << ok;
    }
    for (const char* bad : {"a b", "a/", "a[", "a[]", "a[1", "a=b", "a]", "[1]", "a/@", "a/@b/c",
                            "a[@]", "a[@x='1]", "a//b", "a[1]x"}) {
        EXPECT_EQ(CheckPathSyntax(bad), PathKind::Invalid) << bad;
    }
}

}  // namespace
