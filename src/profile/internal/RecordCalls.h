// The database operations of the persistent records that templates and
// profiles use, called through one place. Each forwards to the record's own
// operation; a record class that does not offer the operation (yet) makes the
// call report failure, exactly like a record without connection.
#pragma once

#include "framework/CObList.h"

#include <cstdint>

namespace zen::profile {

template <class TRecord>
bool LoadRecord(TRecord& record, int32_t key)
{
    if constexpr (requires { record.Load(key); })
        return record.Load(key) ? true : false;
    else
        return false;
}

template <class TRecord>
bool SaveRecord(TRecord& record)
{
    if constexpr (requires { record.Save(); })
        return record.Save() ? true : false;
    else
        return false;
}

template <class TPattern>
bool DeleteAllIndentTypes(TPattern& pattern)
{
    if constexpr (requires { pattern.DeleteAllIndentTypes(); })
        return pattern.DeleteAllIndentTypes() ? true : false;
    else
        return false;
}

template <class TPattern>
bool GetAllIndentTypes(TPattern& pattern, CObList& indents)
{
    if constexpr (requires { pattern.GetAllIndentTypes(indents); })
        return pattern.GetAllIndentTypes(indents) ? true : false;
    else
        return false;
}

template <class TRun>
bool GetAllMadeIndents(TRun& run, CObList& indents, int byDistance)
{
    if constexpr (requires { run.GetAllMadeIndents(indents, byDistance); })
        return run.GetAllMadeIndents(indents, byDistance) ? true : false;
    else
        return false;
}

template <class TSample>
bool GetProfiles(TSample& sample, int32_t sampleID, CObList& runs)
{
    if constexpr (requires { sample.GetProfiles(sampleID, runs); })
        return sample.GetProfiles(sampleID, runs) ? true : false;
    else
        return false;
}

}  // namespace zen::profile
