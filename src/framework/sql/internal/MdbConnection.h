// The Access engine driver: a read-only connection to a legacy station
// database file (.mdb/.accdb). It answers the statements a copy and a look
// into the file need (see CMdbStatement) and refuses every change.
#pragma once

#include "framework/sql/internal/MdbFile.h"
#include "framework/sql/internal/SqlConnection.h"

#include <memory>

class CMdbConnection : public CSqlConnection {
public:
    // Opens the Access file at path for reading. Throws CDBException when it
    // cannot be opened or is no Access file.
    static std::unique_ptr<CSqlConnection> Open(const CString& path);

    // Reports the SQLite dialect: the statements it understands are written
    // alike in both ("quoted" names; [bracketed] ones are taken too).
    SqlDialect GetDialect() const override { return SqlDialect::Sqlite; }
    bool CanUpdate() const override { return false; }
    CString GetReadOnlyReason() const override;
    // Reads every table whole; a table the format library cannot read is a finding.
    bool CheckIntegrity(std::vector<CString>& findings) override;
    // Refused: an Access file is copied as a file or with zendb copy.
    void Backup(const CString& targetPath) override;
    void SetBusyTimeout(int /*milliseconds*/) override {}

    std::unique_ptr<CSqlStatement> Prepare(const CString& engineSql, const CString& shown) override;
    // Runs a SELECT to its end (0 rows changed); any other statement is refused.
    int Execute(const CString& engineSql, const CString& shown) override;
    // Refused: the file is read through this driver only.
    int ExecuteWithValues(const CString& engineSql, const CString& shown,
                          const std::vector<CSqlValue>& values) override;

    // A transaction changes nothing here; it is counted so that the layer's
    // guards work over a source that is only read.
    void BeginTransaction() override;
    void CommitTransaction() override;
    bool RollbackTransaction() override;
    bool InTransaction() const override { return m_inTransaction; }

    // The row's place in the table (rows have no lasting identity here).
    CString GetRowIdExpression() const override { return "__zen_rowno"; }
    CString GetParameterMarker(int index) const override;

    // All refused with "read-only".
    CSqlValue InsertRow(const CString& table, const std::vector<CString>& columns,
                        const std::vector<CSqlValue>& values) override;
    int UpdateRow(const CString& table, const CSqlValue& rowId, const std::vector<CString>& columns,
                  const std::vector<CSqlValue>& values) override;
    int DeleteRow(const CString& table, const CSqlValue& rowId) override;
    bool IsRowIdentityColumn(const CString& table, const CString& column) override;
    void MoveAutoNumberPast(const CString& table, const CString& column, int64_t maxKey) override;

    std::vector<CString> ListTables() override;
    // Tables by name, letter case ignored; the reader knows no indexes.
    bool HasSchemaObject(const CString& name, bool index) override;

    CMdbFile& GetFile() { return *m_file; }

private:
    explicit CMdbConnection(std::shared_ptr<CMdbFile> file) : m_file(std::move(file)) {}
    [[noreturn]] void RefuseChange(const CString& what) const;

    std::shared_ptr<CMdbFile> m_file;
    bool m_inTransaction = false;
};
