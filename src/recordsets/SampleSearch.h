// The views of the sample list and the records of a sample search: the search
// dialog fills a CMapStringToPtr from Samples column names (without brackets)
// to SampleSearchCriterion records, and the samples recordset turns a view and
// such a map into a WHERE clause.
#pragma once

#include "framework/CString.h"
#include "framework/CTime.h"

#include <cstdint>

enum SampleViewTypeType : int32_t {
    SampleViewAll = 0,        // every sample
    SampleViewLastWeek = 1,   // measured after the start of the day 7 days ago
    SampleViewLastMonth = 2,  // measured after the start of the day 31 days ago
    SampleViewUnsigned = 3,   // not signed
    SampleViewSearch = 4,     // matching the search-criteria map
    SampleViewSigned = 5,     // signed
};

// One search criterion. A text criterion matches the text, as typed,
// anywhere in the column; a date criterion selects whole days: From .. To,
// or with To 0 from From on, or with From 0 up to and including To. The map
// and its records belong to the caller that asked for the search.
struct SampleSearchCriterion {
    CString Text;             // text criteria: the text to search for
    CTime From;               // date criteria: first day; 0 when not given
    CTime To;                 // date criteria: last day; 0 when not given
    bool IsText = true;       // true: only Text counts; false: only the dates count
};
