// Schema upgrade hooks of the tables that change between versions 1.6 and 1.9:
// Samples (1.7: the trace block), Patterns (1.8: edge alignment flag; 1.9:
// deleted flag), RoutineTypes (1.9: deleted flag) and SystemTable, whose hooks
// move the version number one step each. Statements run directly on the
// connection, outside any transaction.

#include "framework/CString.h"
#include "framework/Exceptions.h"
#include "framework/Translation.h"
#include "framework/UIHost.h"
#include "recordsets/CZENDB_PatternRecordsets.h"
#include "recordsets/CZENDB_SamplesRecordset.h"
#include "recordsets/CZENDB_SystemRecordsets.h"

namespace {

// Length of the buffer into which a failed step's message is read.
constexpr UINT kErrorBufferSize = 255;

// Runs the statements of a step that adds a flag column and clears it in
// every row; a database error is shown as "Failed to upgrade: <error>" and
// gives 0. Other exceptions pass to the caller.
int AddClearedFlagColumn(CDatabase* database, const char* alterSql, const char* updateSql)
{
    if (database == nullptr)
        return 0;
    try {
        database->ExecuteSQL(alterSql);
        database->ExecuteSQL(updateSql);
    } catch (CDBException& e) {
        CString message;
        message.Format(ZenTranslate(kZenTextDomain, "message", "Failed to upgrade: %s"), e.m_strError.GetString());
        AfxMessageBox(message, MB_OK);
        e.Delete();
        return 0;
    }
    return 1;
}

} // namespace

int CZENDB_SamplesRecordset::UpdateToVer17()
{
    if (m_pDatabase == nullptr)
        return 0;
    try {
        m_pDatabase->ExecuteSQL("ALTER TABLE Samples ADD Trace IMAGE");
    } catch (CException& e) {
        char message[kErrorBufferSize];
        e.GetErrorMessage(message, kErrorBufferSize);
        AfxMessageBox(message, MB_OK);
        e.Delete();
        return 0;
    }
    return 1;
}

int CZENDB_PatternsRecordset::UpdateToVer18()
{
    if (m_pDatabase == nullptr)
        return 0;
    // A failure here is not shown: the caller reports the failed upgrade.
    try {
        CString alter;
        alter.Format("ALTER TABLE Patterns ADD %s", "AutomaticallyEdgeAlignment BIT");
        m_pDatabase->ExecuteSQL(alter);
        m_pDatabase->ExecuteSQL("UPDATE Patterns SET AutomaticallyEdgeAlignment = 0");
    } catch (CException& e) {
        e.Delete();
        return 0;
    }
    return 1;
}

int CZENDB_PatternsRecordset::UpdateToVer19()
{
    return AddClearedFlagColumn(m_pDatabase, "ALTER TABLE Patterns ADD Deleted BIT",
                                "UPDATE Patterns SET Deleted = 0");
}

int CZENDB_RoutineTypesRecordset::UpdateToVer19()
{
    return AddClearedFlagColumn(m_pDatabase, "ALTER TABLE RoutineTypes ADD Deleted BIT",
                                "UPDATE RoutineTypes SET Deleted = 0");
}

namespace {

// One version step of the system table: minor fromMinor -> toMinor on the
// first row, only when that row reads 1.fromMinor.
int StepSystemTable(CZENDB_SystemTableRecordset& rs, int fromMinor, int toMinor)
{
    if (rs.m_pDatabase == nullptr)
        return 0;
    if (!rs.Open(CRecordset::dynaset, rs.GetDefaultSQL(), CRecordset::none))
        return 0;
    if (rs.IsEOF() || rs.m_MajorVersion != 1 || rs.m_MinorVersion != fromMinor) {
        rs.Close();
        return 0;
    }
    rs.Edit();
    rs.m_MinorVersion = toMinor;
    rs.Update();
    rs.Close();
    return 1;
}

} // namespace

int CZENDB_SystemTableRecordset::UpdateToVer19()
{
    return StepSystemTable(*this, 8, 9);
}

int CZENDB_SystemTableRecordset::UpdateToVer18()
{
    return StepSystemTable(*this, 7, 8);
}

int CZENDB_SystemTableRecordset::UpdateToVer17()
{
    return StepSystemTable(*this, 6, 7);
}
