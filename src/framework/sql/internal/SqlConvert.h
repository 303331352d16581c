// Conversions of engine values for the bound variables and the variants of
// the recordsets (numbers from text, text from numbers, the 255-character
// cut of text columns).
#pragma once

#include "framework/sql/internal/SqlValue.h"

#include <cstdint>
#include <string>
#include <vector>

// Integer value: NULL -> 0, a double is truncated toward zero, a text's
// leading number is read (none: 0). False for a blob, a non-finite double or
// a double beyond the 64-bit range.
bool SqlValueToInt64(const CSqlValue& value, int64_t& out);
// Floating-point value: NULL -> 0, text's leading number, blob -> 0.
double SqlValueToDouble(const CSqlValue& value);
// Text form: numbers as the engine writes them (doubles with 15 significant
// digits), blobs as their bytes, NULL as "".
std::string SqlValueToText(const CSqlValue& value);
// Bytes: blobs and texts as they are, numbers in their text form, NULL empty.
std::vector<uint8_t> SqlValueToBytes(const CSqlValue& value);

// The first maxCharacters characters of UTF-8 text (a byte that does not
// start a valid sequence counts as one character); maxCharacters <= 0 keeps
// everything.
std::string CutToCharacters(const std::string& text, int maxCharacters);
// Number of characters of UTF-8 text, counted by the same rule.
size_t CountCharacters(const std::string& text);
