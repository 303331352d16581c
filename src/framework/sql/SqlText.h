// Helpers for composing SQL text: quoting a text value that is pasted between
// single quotes, and the date-time text form that the stored date columns use
// (local time "YYYY-MM-DD HH:MM:SS", which sorts and compares correctly).
#pragma once

#include "framework/CString.h"
#include "framework/CTime.h"

// The text with every single quote doubled, for pasting between single
// quotes: SqlQuote("O'Brien") -> "O''Brien". Adds no surrounding quotes.
CString SqlQuote(const CString& text);

// Local date and time of t as "YYYY-MM-DD HH:MM:SS" (the stored form of date
// columns). CTime 0 gives an empty text (it stands for "no date").
CString SqlDateTimeText(const CTime& t);

// Parses the stored form back into a local time. Accepts "YYYY-MM-DD",
// "YYYY-MM-DD HH:MM", "YYYY-MM-DD HH:MM:SS" (a 'T' may stand for the blank,
// fractions of seconds are ignored). FALSE, with t untouched, when the text
// is not such a date or names an impossible day (2014-02-30).
BOOL ParseSqlDateTimeText(const char* text, CTime& t);
