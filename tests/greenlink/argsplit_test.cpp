// How command texts become argument elements.
#include <gtest/gtest.h>

#include "runner.h"

namespace {

using Strings = std::vector<std::string>;
using greenlink::splitAtSpaces;
using greenlink::splitAtSpacesOutsideQuotes;
using greenlink::splitShellWords;

TEST(ShellWords, QuotesGroupAndAreRemovedNothingIsExpanded) {
    EXPECT_EQ(splitShellWords("push \"/a b/c d.jpg\" /sdcard/"),
              (Strings{"push", "/a b/c d.jpg", "/sdcard/"}));
    EXPECT_EQ(splitShellWords("  a\t\tb \n c  "), (Strings{"a", "b", "c"}));
    EXPECT_EQ(splitShellWords("x \"\" ''"), (Strings{"x", "", ""}));
    EXPECT_EQ(splitShellWords("pre\"mid dle\"post"), (Strings{"premid dlepost"}));
    EXPECT_EQ(splitShellWords("'it \"is\"' \"it's\""), (Strings{"it \"is\"", "it's"}));
    EXPECT_EQ(splitShellWords("\"a \\\"q\\\" \\$x \\n\""), (Strings{"a \"q\" $x \\n"}));
    EXPECT_EQ(splitShellWords("a\\ b c\\\\"), (Strings{"a b", "c\\"}));
    EXPECT_EQ(splitShellWords("$(rm -rf x) `id` ; | > *"),
              (Strings{"$(rm", "-rf", "x)", "`id`", ";", "|", ">", "*"}));
    EXPECT_EQ(splitShellWords("\"caf\xc3\xa9 \xff\""), (Strings{"caf\xc3\xa9 \xff"}));
    EXPECT_TRUE(splitShellWords("").empty());
    // An unclosed quote runs to the end of the text.
    EXPECT_EQ(splitShellWords("pull \"/a b"), (Strings{"pull", "/a b"}));
}

TEST(SpaceSplitting, EverySpaceCutsSoDoubleSpacesGiveEmptyElements) {
    EXPECT_EQ(splitAtSpaces("one two  three four"), (Strings{"one", "two", "", "three", "four"}));
    EXPECT_EQ(splitAtSpaces("devices "), (Strings{"devices", ""}));
    EXPECT_EQ(splitAtSpaces("\"a b\""), (Strings{"\"a", "b\""}));
    EXPECT_TRUE(splitAtSpaces("").empty());
}

TEST(SpaceSplitting, QuotedVariantKeepsQuotedSpacesAndTheQuotes) {
    EXPECT_EQ(splitAtSpacesOutsideQuotes("pull \"/sdcard/a b.jpg\" /tmp/x"),
              (Strings{"pull", "\"/sdcard/a b.jpg\"", "/tmp/x"}));
    EXPECT_EQ(splitAtSpacesOutsideQuotes("a  \"b  c\"d e"), (Strings{"a", "", "\"b  c\"d", "e"}));
    EXPECT_EQ(splitAtSpacesOutsideQuotes("x \"open end"), (Strings{"x", "\"open end"}));
}

} // namespace
