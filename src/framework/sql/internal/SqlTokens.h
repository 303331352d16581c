// Tokens of SQL text and the shape of a SELECT statement: shared by the
// dialect translation and by the recordset, which needs to know whether a
// statement reads a single table (and which) before it runs it.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

enum class SqlTokenKind {
    Space,       // blanks, tabs, line ends
    Comment,     // -- to the end of the line, /* ... */
    Word,        // keyword or plain identifier
    Number,      // 12, 1.5, 2e3
    String,      // '...' ('' inside)
    QuotedName,  // "..." or `...`
    BracketName, // [...]
    HashDate,    // # ... # holding only digits, separators, blanks, AM/PM
    Symbol,      // operators and punctuation (<=, <>, ||, or one character)
};

struct CSqlToken {
    SqlTokenKind kind;
    std::string text;

    bool IsWord(const char* upperWord) const; // case-blind keyword test
    bool IsSymbol(const char* symbol) const { return kind == SqlTokenKind::Symbol && text == symbol; }
    bool IsSignificant() const { return kind != SqlTokenKind::Space && kind != SqlTokenKind::Comment; }
};

using CSqlTokens = std::vector<CSqlToken>;

// Splits text into tokens; concatenating the tokens' texts gives the text
// back unchanged. Unterminated quotes run to the end of the text.
CSqlTokens TokenizeSql(std::string_view sql);

// Concatenated text of tokens [begin, end).
std::string JoinSqlTokens(const CSqlTokens& tokens, size_t begin, size_t end);

// Index of the next significant token at or after i (tokens.size() if none).
size_t NextSignificant(const CSqlTokens& tokens, size_t i);

// The name a name token stands for: the text inside [..] or "..", or the word.
std::string TokenName(const CSqlToken& token);

// Shape of a SELECT statement (token indices into the tokenized text).
struct CSelectShape {
    bool isSelect = false;    // the first significant token is SELECT
    bool distinct = false;    // SELECT DISTINCT / DISTINCTROW
    bool singleTable = false; // FROM names exactly one table: no join, no
                              // sub-select, no GROUP BY / HAVING / UNION
    size_t listBegin = 0;     // first token of the select list (after TOP n)
    size_t fromIndex = 0;     // the FROM keyword (tokens.size() if none)
    size_t fromEnd = 0;       // end of the FROM clause (WHERE, ORDER or end)
    size_t whereIndex = 0;    // the top-level WHERE (tokens.size() if none)
    size_t orderIndex = 0;    // the top-level ORDER of ORDER BY (size if none)
    size_t end = 0;           // tokens.size()
    std::string table;        // the single table's name, unquoted
};

CSelectShape AnalyzeSelect(const CSqlTokens& tokens);

// A statement's first word, upper-cased, held in place (no allocation: a
// driver asks for it at every statement). A word longer than kMaxLength
// letters keeps its first kMaxLength letters and a '+', which no keyword
// spells, so that it never reads as a keyword.
class CSqlWord {
public:
    static constexpr size_t kMaxLength = 22;
    CSqlWord() = default;
    CSqlWord(const char* begin, const char* end);
    std::string_view View() const { return {m_text, m_size}; }
    operator std::string_view() const { return View(); }
    bool empty() const { return m_size == 0; }
    friend bool operator==(const CSqlWord& word, std::string_view text) { return word.View() == text; }

private:
    char m_text[kMaxLength + 1] = {};
    unsigned char m_size = 0;
};

// The first word of a statement (after blanks and comments), upper-cased;
// empty when there is none. Lets a driver tell reads, writes and
// transaction control apart without tokenising the whole text.
CSqlWord SqlFirstWord(const char* sql);
