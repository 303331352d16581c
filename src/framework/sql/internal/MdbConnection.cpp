// The read-only Access engine driver (see MdbConnection.h).
#include "framework/sql/internal/MdbConnection.h"

#include "framework/sql/FieldInfo.h"
#include "framework/sql/internal/MdbStatement.h"
#include "framework/sql/internal/SqlErrors.h"

std::unique_ptr<CSqlConnection> CMdbConnection::Open(const CString& path)
{
    return std::unique_ptr<CSqlConnection>(new CMdbConnection(CMdbFile::Open(path)));
}

CString CMdbConnection::GetReadOnlyReason() const
{
    return CString("The Access file ") + m_file->GetPath() + " is read-only: it can be read and imported, never changed.";
}

void CMdbConnection::RefuseChange(const CString& what) const
{
    ThrowSqlLayerError(AFX_SQL_ERROR_ROW_UPDATE_NOT_SUPPORTED, GetReadOnlyReason(), what);
}

bool CMdbConnection::CheckIntegrity(std::vector<CString>& findings)
{
    const size_t before = findings.size();
    for (const CString& table : m_file->TableNames()) {
        try {
            m_file->ReadTable(table);
        } catch (const CDBException& e) {
            findings.push_back(e.m_strError);
        }
    }
    return findings.size() == before;
}

void CMdbConnection::Backup(const CString& targetPath) { RefuseChange(CString("backup to ") + targetPath); }

std::unique_ptr<CSqlStatement> CMdbConnection::Prepare(const CString& engineSql, const CString& shown)
{
    return std::make_unique<CMdbStatement>(*m_file, engineSql, shown);
}

int CMdbConnection::Execute(const CString& engineSql, const CString& shown)
{
    CMdbStatement statement(*m_file, engineSql, shown);
    while (statement.Step()) {
    }
    return 0;
}

int CMdbConnection::ExecuteWithValues(const CString& /*engineSql*/, const CString& shown,
                                      const std::vector<CSqlValue>& /*values*/)
{
    RefuseChange(CString("statement ") + shown);
}

void CMdbConnection::BeginTransaction()
{
    if (m_inTransaction)
        ThrowSqlLayerError(AFX_SQL_ERROR_ILLEGAL_MODE, "A transaction is already open.");
    m_inTransaction = true;
}

void CMdbConnection::CommitTransaction()
{
    if (!m_inTransaction)
        ThrowSqlLayerError(AFX_SQL_ERROR_ILLEGAL_MODE, "No transaction is open.");
    m_inTransaction = false;
}

bool CMdbConnection::RollbackTransaction()
{
    const bool was = m_inTransaction;
    m_inTransaction = false;
    return was;
}

CString CMdbConnection::GetParameterMarker(int /*index*/) const { return "?"; }

CSqlValue CMdbConnection::InsertRow(const CString& table, const std::vector<CString>& /*columns*/,
                                    const std::vector<CSqlValue>& /*values*/)
{
    RefuseChange(CString("insert into ") + table);
}

int CMdbConnection::UpdateRow(const CString& table, const CSqlValue& /*rowId*/, const std::vector<CString>& /*columns*/,
                              const std::vector<CSqlValue>& /*values*/)
{
    RefuseChange(CString("update of ") + table);
}

int CMdbConnection::DeleteRow(const CString& table, const CSqlValue& /*rowId*/)
{
    RefuseChange(CString("delete from ") + table);
}

bool CMdbConnection::IsRowIdentityColumn(const CString& /*table*/, const CString& /*column*/) { return false; }

void CMdbConnection::MoveAutoNumberPast(const CString& table, const CString& /*column*/, int64_t /*maxKey*/)
{
    RefuseChange(CString("auto-number of ") + table);
}

std::vector<CString> CMdbConnection::ListTables() { return m_file->TableNames(); }

bool CMdbConnection::HasSchemaObject(const CString& name, bool index)
{
    if (index)
        return false;
    for (const CString& table : m_file->TableNames())
        if (table.CompareNoCase(name) == 0)
            return true;
    return false;
}
