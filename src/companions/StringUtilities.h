// Text helpers of the sample dialogs: proposing the next sample identifier
// and wrapping long lists of identifiers for a message box.
#pragma once

#include "framework/CString.h"

// The text with its last run of decimal digits increased by one; the run
// keeps its width while leading zeros can absorb a carry and grows by one
// digit when it cannot:
//   "S-7" -> "S-8", "A009" -> "A010", "A99" -> "A100", "0999" -> "1000",
//   "X12Y" -> "X13Y", "7-99" -> "7-100".
// A text without any digit gets "1" appended ("Probe" -> "Probe1",
// "" -> "1"). Runs of any length are handled (no integer overflow).
CString IncLastNumberInString(const CString& text);

// The text broken into lines of at most width characters (UTF-8 characters,
// not bytes), joined with "\n". Lines are broken at the last blank that
// keeps the line within width; the blanks at a break are dropped. A word
// longer than width is cut at width characters. Line breaks already in the
// text are kept, and each line is wrapped on its own. width < 1 returns the
// text unchanged.
//   WordWrapAtLength("A1, A2, A3", 7) == "A1, A2,\nA3"
CString WordWrapAtLength(const CString& text, int width);
