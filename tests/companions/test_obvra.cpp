// Tests of the stored form of user names and passwords: round trip,
// determinism, printable form, keys, length limit and tampering.
#include "companions/Obvra.h"

#include "EnvSetting.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

namespace {

class ObvraTest : public ::testing::Test {
protected:
    // A configuration of our own, so that the key comes from where the test says.
    void UseKeyFile(const std::string& keyFile)
    {
        zentest::WriteFileText(m_dir.File("ZEN.ini"), keyFile.empty() ? "" : "[Security]\nKeyFile=" + keyFile + "\n");
    }
    zentest::CTempDir m_dir;
    CEnvSetting m_config{"ZEN_CONFIG", m_dir.File("ZEN.ini")};
};

TEST_F(ObvraTest, RoundTripIsDeterministicAndPrintable)
{
    UseKeyFile("");
    const std::string texts[] = {"", "admin", "Operator 1", "pässwörd µm", "with 'quote' and \"double\"",
                                 "trailing  ", " leading", std::string(OBVRA_MAX_TEXT_LENGTH, 'x')};
    for (const std::string& text : texts) {
        const CString stored = Obvra_encode(text);
        EXPECT_EQ(stored, Obvra_encode(text)) << text;  // same input, same form
        EXPECT_EQ(Obvra_decode(stored), text.c_str());
        EXPECT_EQ(stored.Left(3), "Z1:");
        EXPECT_LE(stored.GetLength(), OBVRA_MAX_STORED_LENGTH);
        for (int i = 0; i < stored.GetLength(); ++i) {
            const char ch = stored[i];
            EXPECT_TRUE(isalnum(static_cast<unsigned char>(ch)) || ch == '-' || ch == '_' || ch == ':') << stored;
        }
    }
    EXPECT_NE(Obvra_encode("admin"), Obvra_encode("Admin"));
    // The longest text fills the column exactly.
    EXPECT_EQ(Obvra_encode(CString('x', OBVRA_MAX_TEXT_LENGTH)).GetLength(), OBVRA_MAX_STORED_LENGTH);
}

TEST_F(ObvraTest, OverLongTextIsRefused)
{
    UseKeyFile("");
    try {
        Obvra_encode(CString('x', OBVRA_MAX_TEXT_LENGTH + 1));
        FAIL() << "no exception";
    } catch (const CCredentialException& e) {
        EXPECT_EQ(e.m_cause, CCredentialException::textTooLong);
        EXPECT_NE(e.GetMessageText().Find("166 bytes"), -1) << e.GetMessageText().GetString();
    }
}

TEST_F(ObvraTest, KeysSeparateTheForms)
{
    UseKeyFile("");
    const CString builtIn = Obvra_encode("admin");

    zentest::WriteFileText(m_dir.File("a.key"), "first station secret");
    zentest::WriteFileText(m_dir.File("b.key"), "second station secret");
    UseKeyFile(m_dir.File("a.key"));
    const CString withA = Obvra_encode("admin");
    UseKeyFile(m_dir.File("b.key"));
    const CString withB = Obvra_encode("admin");

    EXPECT_NE(builtIn, withA);
    EXPECT_NE(withA, withB);
    EXPECT_EQ(Obvra_decode(withB), "admin");
    EXPECT_EQ(Obvra_decode(withA), "");  // made with another key
    EXPECT_EQ(Obvra_decode(builtIn), "");

    // A key file whose content changes gives the new key at once.
    zentest::WriteFileText(m_dir.File("b.key"), "second station secret, renewed");
    EXPECT_NE(Obvra_encode("admin"), withB);

    UseKeyFile(m_dir.File("missing.key"));
    EXPECT_THROW(Obvra_encode("admin"), CCredentialException);
    EXPECT_THROW(Obvra_decode(withA), CCredentialException);
    zentest::WriteFileText(m_dir.File("empty.key"), "");
    UseKeyFile(m_dir.File("empty.key"));
    EXPECT_THROW(Obvra_encode("admin"), CCredentialException);
}

TEST_F(ObvraTest, AlteredFormsDecodeToEmptyText)
{
    UseKeyFile("");
    const CString stored = Obvra_encode("supervisor");
    ASSERT_EQ(Obvra_decode(stored + "  \t"), "supervisor");  // trailing blanks of a padded column

    std::vector<CString> altered = {
        "", "Z1:", "Z1", "supervisor", "Z2:" + stored.Mid(3), stored.Left(stored.GetLength() - 1),
        stored + "A", stored.Left(10) + "!" + stored.Mid(11), "Z1:" + CString('A', 40),
    };
    // Flip every character of the body in turn.
    for (int i = 3; i < stored.GetLength(); ++i) {
        CString flipped = stored;
        flipped.SetAt(i, stored[i] == 'A' ? 'B' : 'A');
        altered.push_back(flipped);
    }
    for (const CString& form : altered)
        EXPECT_EQ(Obvra_decode(form), "") << form.GetString();
}

TEST_F(ObvraTest, OnlyTheCanonicalSpellingDecodes)
{
    UseKeyFile("");
    // A form whose body holds '_' (the base64 digit 63) and one without it.
    CString withUnderscore;
    for (int i = 0; withUnderscore.IsEmpty(); ++i) {
        ASSERT_LT(i, 1000) << "no form with '_' found";
        const CString form = Obvra_encode(CString("user") + std::to_string(i).c_str());
        if (form.Mid(3).Find('_') >= 0)
            withUnderscore = form;
    }
    const CString plain = Obvra_decode(withUnderscore);
    ASSERT_FALSE(plain.IsEmpty());
    const int at = withUnderscore.Find('_', 3);

    std::vector<CString> spellings;
    for (int byte = 0x80; byte <= 0xFF; ++byte) {
        CString other = withUnderscore;
        other.SetAt(at, static_cast<char>(byte));
        spellings.push_back(other);
    }
    const CString stored = Obvra_encode("supervisor");
    spellings.push_back(" " + stored);          // leading blank
    spellings.push_back("\t" + stored);
    spellings.push_back(stored.Left(3) + " " + stored.Mid(3));
    // The last digit of a body that is not a multiple of three bytes carries
    // spare bits; every other digit sharing its used bits is another spelling.
    const char* const digits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";
    const int last = stored.GetLength() - 1;
    const int value = static_cast<int>(std::string(digits).find(stored[last]));
    for (int spare = 1; spare < 16; ++spare) {
        const int other = value ^ spare;
        CString form = stored;
        form.SetAt(last, digits[other]);
        spellings.push_back(form);
    }
    for (const CString& form : spellings)
        EXPECT_EQ(Obvra_decode(form), "") << form.GetString();
    // The canonical forms still decode, also with trailing blanks.
    EXPECT_EQ(Obvra_decode(withUnderscore), plain);
    EXPECT_EQ(Obvra_decode(stored + " "), "supervisor");
}

} // namespace
