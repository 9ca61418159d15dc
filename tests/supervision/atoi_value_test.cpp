#include <gtest/gtest.h>

#include "supervision/atoi_value.h"

namespace {

TEST(AtoiValue, ReadsLikeAtoiHeldToThe32BitRange) {
    struct Case {
        const char* text;
        int32_t value;
    };
    const Case cases[] = {
        {"1", 1},
        {"01", 1},
        {" 1", 1},
        {"\t\n1x", 1},
        {"+1", 1},
        {"-1", -1},
        {"", 0},
        {"x1", 0},
        {"1 2", 1},
        {"- 1", 0},
        {"2", 2},
        {"11", 11},
        {"99999999999999999999", 2147483647},
        {"-99999999999999999999", -2147483647 - 1},
        {"-2147483648", -2147483647 - 1},
        {" \n\v\f\r\t42", 42},
        {"+-1", 0},
        {"007", 7},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(AtoiValue(c.text), c.value) << "'" << c.text << "'";
    }
}

}  // namespace
