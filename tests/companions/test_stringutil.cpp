// Tests of the identifier increment and the word wrap used for the sample
// identifier proposals and the lists of identifiers in messages.
#include "companions/StringUtilities.h"

#include <gtest/gtest.h>

namespace {

TEST(StringUtilities, IncLastNumberInString)
{
    struct Case {
        const char* text;
        const char* next;
    };
    const Case cases[] = {
        {"S-7", "S-8"},
        {"S-8", "S-9"},
        {"A1", "A2"},
        {"A009", "A010"},
        {"A99", "A100"},
        {"0999", "1000"},
        {"9", "10"},
        {"X12Y", "X13Y"},       // the last run, wherever it stands
        {"7-99", "7-100"},      // only the last run changes
        {"2024-0001", "2024-0002"},
        {"Probe", "Probe1"},    // no digit: "1" appended
        {"", "1"},
        {"Muestra Nº 19", "Muestra Nº 20"},
        {"99999999999999999999", "100000000000000000000"},  // beyond 64-bit integers
    };
    for (const Case& c : cases)
        EXPECT_EQ(IncLastNumberInString(c.text), c.next) << c.text;
}

TEST(StringUtilities, WordWrapAtLength)
{
    struct Case {
        const char* text;
        int width;
        const char* wrapped;
    };
    const Case cases[] = {
        {"A1, A2, A3", 80, "A1, A2, A3"},
        {"A1, A2, A3", 7, "A1, A2,\nA3"},
        {"A1, A2, A3", 6, "A1,\nA2, A3"},
        {"A1, A2, A3", 3, "A1,\nA2,\nA3"},
        {"A1, A2, A3", 2, "A1\n,\nA2\n,\nA3"},  // words longer than the width are cut
        {"ABCDEFGH", 3, "ABC\nDEF\nGH"},
        {"one two\nthree four", 9, "one two\nthree\nfour"},  // existing breaks stay
        {"ab   cd", 3, "ab\ncd"},                 // blanks at a break are dropped
        {"", 80, ""},
        {"ñññ ñññ", 3, "ñññ\nñññ"},                // characters, not bytes
        {"text", 0, "text"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(WordWrapAtLength(c.text, c.width), c.wrapped) << c.text << " / " << c.width;

    // A long list of identifiers as the registration dialog shows it.
    CString list;
    for (int i = 1; i <= 40; ++i)
        list.AppendFormat(i == 1 ? "S-%d" : ", S-%d", i);
    const CString wrapped = WordWrapAtLength(list, 80);
    CString rejoined = wrapped;
    rejoined.Replace("\n", " ");
    EXPECT_EQ(rejoined, list);
    int start = 0;
    for (int nl = wrapped.Find('\n'); ; nl = wrapped.Find('\n', start)) {
        const int end = nl < 0 ? wrapped.GetLength() : nl;
        EXPECT_LE(end - start, 80);
        if (nl < 0)
            break;
        EXPECT_GT(end - start, 70);  // greedy: lines are filled
        start = nl + 1;
    }
}

} // namespace
