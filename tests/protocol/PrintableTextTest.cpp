// The one escaping rule for whatever a device or a file name puts on a
// terminal or in a log.
#include <gtest/gtest.h>

#include "protocol/PrintableText.h"

namespace {

struct Row {
    const char* what;
    std::string text;
    std::string shown;
};

const Row rows[] = {
    {"C0 control (ESC)", "a\x1B[2Jb", "a\\x1B[2Jb"},
    {"line feed", "one\ntwo", "one\\x0Atwo"},
    {"DEL", "x\x7F", "x\\x7F"},
    {"C1 control as one byte (CSI)",
     "x\x9B"
     "2J",
     "x\\x9B2J"},
    {"C1 control in UTF-8 (CSI)",
     "x\xC2\x9B"
     "2J",
     "x\\u009B2J"},
    {"bidi override",
     "txt.\xE2\x80\xAE"
     "exe",
     "txt.\\u202Eexe"},
    {"bidi isolate",
     "\xE2\x81\xA6"
     "a\xE2\x81\xA9",
     "\\u2066a\\u2069"},
    {"byte that is not UTF-8", "\xE4rger", "\\xE4rger"},
    {"overlong UTF-8", "\xC0\xAF", "\\xC0\\xAF"},
    {"letters, signs and backslashes", "M\xC3\xBCller \xE2\x82\xAC C:\\dir", "M\xC3\xBCller \xE2\x82\xAC C:\\dir"},
};

TEST(PrintableText, ControlsC1BidiAndBytesThatAreNotUtf8AreShownEscapedTheRestAsItIs) {
    for (const Row& row : rows) {
        EXPECT_EQ(printable(row.text), row.shown) << row.what;
        EXPECT_EQ(isPrintable(row.text), row.text == row.shown) << row.what;
    }
}

}  // namespace
