#include "Json.h"

#include <gtest/gtest.h>

namespace sonlet::testkit {
namespace {

TEST(JsonParser, ReadsNestedValuesAndEscapes) {
    const JsonValue v =
        ParseJson(R"( {"a": [1, -2.5, true, null], "s": "x\"\u00e9\n\ud83c\udfb5", "t": "é"} )");
    EXPECT_EQ(v["a"].Size(), 4u);
    EXPECT_EQ(v["a"][0].Int(), 1);
    EXPECT_EQ(v["a"][1].Number(), -2.5);
    EXPECT_TRUE(v["a"][2].Bool());
    EXPECT_TRUE(v["a"][3].IsNull());
    EXPECT_EQ(v["s"].Text(), U"x\"\u00e9\n\U0001F3B5");
    EXPECT_EQ(v["t"].Latin1(), "\xE9");
    EXPECT_THROW(v["missing"], std::runtime_error);
}

TEST(JsonParser, RefusesMalformedDocuments) {
    for (const char* bad : {"", "{", "[1,]", "{\"a\" 1}", "\"open", "[1] 2", "{\"a\":1,\"a\":2}",
                            "tru", "\"\x01\""}) {
        EXPECT_THROW(ParseJson(bad), std::runtime_error) << bad;
    }
}

} // namespace
} // namespace sonlet::testkit
