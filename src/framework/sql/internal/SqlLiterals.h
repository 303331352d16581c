// Literal parameterisation: the string and integer literals of a statement's
// WHERE clauses become numbered parameters, so that statements that differ
// only in such values share one prepared statement in the engine.
#pragma once

#include "framework/sql/internal/SqlValue.h"

#include <string>
#include <string_view>
#include <vector>

// Where the literal of a parameter stands in the statement as written:
// [begin, end) is its value's text (between the quotes of a text literal).
struct CLiteralSpan {
    size_t begin = 0;
    size_t end = 0;
    bool text = false;
};

struct CParameterisedSql {
    std::string text;              // the statement with markers in place of the literals
    std::vector<CSqlValue> values; // the value of marker k + 1 at index k
    std::vector<CLiteralSpan> spans; // where the literal of marker k + 1 stood, at index k
};

// Replaces literals of a SELECT, INSERT, UPDATE or DELETE statement (in the
// engine's dialect) by markerPrefix followed by the parameter's number
// ("?1", "?2", ...). Only literals whose value a parameter carries exactly,
// in places where any expression may stand, are replaced:
// - inside a WHERE clause, up to the clause's end, also of a sub-select in
//   a WHERE or FROM clause (never of one in a select list, whose result
//   column is named after its text);
// - right after a comparison (= == <> != < <= > >=), LIKE, GLOB, IS,
//   BETWEEN or the AND of a BETWEEN, or as an element of an IN (...) list;
// - a well-formed '...' text, or a whole number written with digits only
//   that fits 64 bits (real numbers stay as written: the engine's own
//   reading of them decides their last digit);
// - not glued to a neighbouring word or number (X'00', 0x1F stay).
// Select lists, ORDER BY / GROUP BY positions, LIMIT and schema statements
// are never touched. A statement that has parameter markers of its own is
// left as it is. Returns false (out untouched) when nothing was replaced.
// rowValues: also the literals a statement writes: each element of a row of
// INSERT ... VALUES (...) and the value right after "=" of an assignment of
// UPDATE ... SET (at the statement's own level, not inside an expression's
// parentheses).
bool ParameteriseLiterals(std::string_view sql, char markerPrefix, CParameterisedSql& out, bool rowValues = false);

// The parameter value of a literal that ParameteriseLiterals replaced, given
// its new value's text: a text without quotes is its own value, a number of
// digits alone that fits 64 bits an integer. false for anything else.
bool LiteralValue(std::string_view value, bool text, CSqlValue& out);

// A statement as written and what ParameteriseLiterals made of it (changed
// false: nothing was replaced).
struct CParameterisedTemplate {
    std::string sql;
    char markerPrefix = '?';
    bool changed = false;
    CParameterisedSql result;
};

// What ParameteriseLiterals(sql, known.markerPrefix) gives, worked out from
// known without reading sql's tokens: sql must be known.sql itself, or differ
// from it only inside one replaced literal, whose new value is a text without
// quotes or a number of digits alone. Returns false (out and changed
// untouched) for any other sql; the caller then parameterises it itself.
bool ParameteriseLike(const CParameterisedTemplate& known, std::string_view sql, CParameterisedSql& out,
                      bool& changed);
