// The phone's shell splitting: what adb sends after joining words with blanks.
#include <gtest/gtest.h>

#include "android/shell_words.h"

using lab::shellQuote;
using lab::splitShellWords;
using Words = std::vector<std::string>;

TEST(ShellWords, QuotesEscapesAndBlanks) {
    EXPECT_EQ(*splitShellWords("  pm   install\t-r  "), (Words{"pm", "install", "-r"}));
    EXPECT_EQ(*splitShellWords("rm '/sdcard/a b' \"c d\""), (Words{"rm", "/sdcard/a b", "c d"}));
    EXPECT_EQ(*splitShellWords("echo 'it'\\''s'"), (Words{"echo", "it's"}));
    EXPECT_EQ(*splitShellWords("echo \"a\\\"b\\\\c\\$d\\n\""), (Words{"echo", "a\"b\\c$d\\n"}));
    EXPECT_EQ(*splitShellWords("echo a\\ b"), (Words{"echo", "a b"}));
    EXPECT_EQ(*splitShellWords("echo '' x"), (Words{"echo", "", "x"}));
    // Nothing is expanded.
    EXPECT_EQ(*splitShellWords("echo $(id) $HOME `id`"), (Words{"echo", "$(id)", "$HOME", "`id`"}));
    EXPECT_FALSE(splitShellWords("echo 'open"));
    EXPECT_FALSE(splitShellWords("echo \"open"));
}

TEST(ShellWords, QuoteRoundTripsOddNames) {
    for (std::string w : {"plain", "with space", "it's", "\"dq\"", "$(touch x)", "ünï €", "",
                          "back\\slash", "new\nline", "'"}) {
        auto words = splitShellWords("ls " + shellQuote(w));
        ASSERT_TRUE(words) << w;
        EXPECT_EQ(*words, (Words{"ls", w}));
    }
}
