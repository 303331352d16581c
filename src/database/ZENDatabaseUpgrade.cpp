// The facade's schema upgrade: the walk that lets every table recordset apply
// its share of each missing step (system table last, so that the version
// moves only after the other tables changed), the public one-step operations,
// the one-off filler of the version 1.5 settings columns, and the unique index
// of the sample identifiers with the search for the duplicates that keep it out.

#include "database/ZENDatabase.h"

#include "databaseobjects/internal/SampleIdentifier.h"
#include "framework/Exceptions.h"
#include "framework/sql/Recordset.h"
#include "framework/sql/Transaction.h"
#include "recordsets/CZENDB_PatternRecordsets.h"
#include "recordsets/CZENDB_SamplesRecordset.h"
#include "recordsets/CZENDB_SystemRecordsets.h"

#include <cstdlib>
#include <new>

int CZENDatabase::UpdateTablesTo(int major, int minor)
{
    if (major != 1 || minor < 6 || minor > 9)
        return 0;
    int currentMajor = 0;
    int startMinor = 0;
    // Without a readable version, or with a version of another generation,
    // there is no defined starting point: nothing is touched.
    if (!GetVersion(currentMajor, startMinor) || currentMajor != 1)
        return 0;

    CZENDB_SamplesRecordset samples(this);
    CZENDB_PatternsRecordset patterns(this);
    CZENDB_RegistrationRecordset registration(this);
    CZENDB_IndentTypeRecordset indentTypes(this);
    CZENDB_RoutineTypesRecordset routines(this);
    CZENDB_RegistrationDescriptionsRecordset descriptions(this);
    CZENDB_SampleProfilesRunRecordset runs(this);
    CZENDB_RoutineProfileRecordset routineProfiles(this);
    CZENDB_IndentsRunRecordset indents(this);
    CZENDB_DefaultProfileToUseRecordset defaultProfiles(this);
    CZENDB_DefaultRoutineToUseRecordset defaultRoutines(this);
    CZENDB_UserTableRecordset users(this);
    CZENDB_SystemTableRecordset system(this);
    CZENDB_Recordset* const tables[] = {&samples,  &patterns,        &registration,    &indentTypes,
                                        &routines, &descriptions,    &runs,            &routineProfiles,
                                        &indents,  &defaultProfiles, &defaultRoutines, &users,
                                        &system};

    // Each table is carried through every missing step before the next one
    // starts; after the first failure no hook runs any more.
    bool ok = true;
    for (CZENDB_Recordset* table : tables) {
        int tableMinor = startMinor;
        if (tableMinor == 6 && ok) {
            if (table->UpdateToVer17() != 0)
                tableMinor = 7;
            else
                ok = false;
        }
        if (tableMinor == 7 && ok) {
            if (table->UpdateToVer18() != 0)
                tableMinor = 8;
            else
                ok = false;
        }
        if (tableMinor == 8 && ok) {
            if (table->UpdateToVer19() != 0)
                tableMinor = 9;
            else
                ok = false;
        }
    }
    return ok ? 1 : 0;
}

int CZENDatabase::UpgradeFrom(int sourceMinor)
{
    int major = 0;
    int minor = 0;
    if (GetVersion(major, minor) != 0 && major == 1 && minor == sourceMinor)
        return UpdateTablesTo(1, sourceMinor + 1);
    return 0;
}

int CZENDatabase::UpdateToVer19()
{
    UpdateToVer18();
    return UpgradeFrom(8);
}

int CZENDatabase::UpdateToVer18()
{
    UpdateToVer17();
    return UpgradeFrom(7);
}

int CZENDatabase::UpdateToVer17()
{
    UpdateToVer16();
    return UpgradeFrom(6);
}

int CZENDatabase::UpdateToVer16()
{
    UpdateToVer15();
    return UpgradeFrom(5);
}

int CZENDatabase::UpdateToVer15()
{
    UpdateToVer14();
    return UpgradeFrom(4);
}

int CZENDatabase::UpdateToVer14()
{
    UpdateToVer13();
    return UpgradeFrom(3);
}

int CZENDatabase::UpdateToVer13()
{
    return UpgradeFrom(2);
}

int CZENDatabase::UpgradeToCurrentVersion()
{
    if (!IsOpen() || !CanUpdate())
        return 0;
    int major = 0;
    int minor = 0;
    if (!GetVersion(major, minor) || major != ZEN_SCHEMA_MAJOR || minor < 6 || minor > ZEN_SCHEMA_MINOR)
        return 0;
    const int startMinor = minor;
    if (minor < ZEN_SCHEMA_MINOR) {
        if (UpdateTablesTo(ZEN_SCHEMA_MAJOR, ZEN_SCHEMA_MINOR) == 0)
            return 0;
        // Only the system-table hooks move the version: read it back rather
        // than trust the walk's flag.
        if (!GetVersion(major, minor) || major != ZEN_SCHEMA_MAJOR || minor != ZEN_SCHEMA_MINOR)
            return 0;
    }
    AddUniqueSampleIDIndexWhenPossible();
    AddLoginFailuresTableWhenMissing();
    AddSignatureTablesWhenMissing();
    AddAuditTrailWhenMissing(startMinor < ZEN_SCHEMA_MINOR ? startMinor : 0);
    return 1;
}

int CZENDatabase::SetVer15DefaultProperties(const ProfileCalculationSettings& calc,
                                            const ProfileStrategySettings& strategy,
                                            const ProfileDiagramSettings& diagram)
{
    int major = 0;
    int minor = 0;
    if (GetVersion(major, minor) == 0 || major < 1 || minor < 5)
        return 0;
    try {
        CZENDB_PatternsRecordset patterns(this);
        if (!patterns.Open(CRecordset::dynaset, patterns.GetDefaultSQL(), CRecordset::none))
            return 0;
        while (!patterns.IsEOF()) {
            patterns.Edit();
            patterns.m_Pattern.SetStrategySettings(strategy);
            patterns.m_Pattern.SetCalculationSettings(calc);
            patterns.m_Pattern.SetDiagramSettings(diagram);
            patterns.Update();
            patterns.MoveNext();
        }
        patterns.Close();

        CZENDB_SampleProfilesRunRecordset runs(this);
        if (!runs.Open(CRecordset::dynaset, runs.GetDefaultSQL(), CRecordset::none))
            return 0;
        while (!runs.IsEOF()) {
            runs.Edit();
            runs.m_ProfileRun.SetCalculationSettings(calc);
            runs.m_ProfileRun.SetDiagramSettings(diagram);
            runs.Update();
            runs.MoveNext();
        }
        runs.Close();
    } catch (CException& e) {
        e.Delete();
        return 0;
    }
    return 1;
}

bool CZENDatabase::HasUniqueSampleIDIndex()
{
    return HasIndex(zendb_ident::kIndexName) != FALSE;
}

bool CZENDatabase::FindDuplicateSampleIDs(std::vector<CDuplicateSampleID>& groups)
{
    // Each group is named by its first sample (the smallest key) and joined
    // with every sample whose identifier equals that one by the index's
    // comparison.
    const char* const sql =
        "SELECT f.[SampleID] AS FirstKey, f.[UserSampleID] AS Ident, s.[SampleID] AS SampleKey "
        "FROM (SELECT MIN([SampleID]) AS K FROM Samples "
        "WHERE [UserSampleID] <> '' AND [UserSampleID] IS NOT NULL "
        "GROUP BY [UserSampleID] COLLATE NOCASE HAVING COUNT(*) > 1) d "
        "JOIN Samples f ON f.[SampleID] = d.K "
        "JOIN Samples s ON s.[UserSampleID] = f.[UserSampleID] COLLATE NOCASE "
        "ORDER BY f.[UserSampleID] COLLATE NOCASE, f.[SampleID], s.[SampleID]";
    CRecordset rs(this);
    rs.Open(CRecordset::forwardOnly, sql, CRecordset::readOnly);
    CString previousFirst;
    while (!rs.IsEOF()) {
        CString first;
        CString ident;
        CString key;
        rs.GetFieldValue("FirstKey", first);
        rs.GetFieldValue("Ident", ident);
        rs.GetFieldValue("SampleKey", key);
        if (groups.empty() || first != previousFirst) {
            groups.push_back({ident, {}});
            previousFirst = first;
        }
        groups.back().SampleIDs.push_back(static_cast<int32_t>(std::atol(key.GetString())));
        rs.MoveNext();
    }
    rs.Close();
    return true;
}

bool CZENDatabase::CheckDatabase(CStringList& findings)
{
    const int before = findings.GetCount();
    const bool intact = CheckIntegrity(findings) != FALSE;
    // A file whose pages are damaged may answer the identifier query with
    // wrong rows; its integrity findings say all there is to say.
    if (!intact)
        return false;
    std::vector<CDuplicateSampleID> groups;
    FindDuplicateSampleIDs(groups);
    for (const CDuplicateSampleID& group : groups) {
        CString keys;
        for (const int32_t key : group.SampleIDs)
            keys.AppendFormat(keys.IsEmpty() ? "#%d" : ", #%d", static_cast<int>(key));
        CString line;
        line.Format("The sample identifier '%s' is shared by the samples %s.", group.UserSampleID.GetString(),
                    keys.GetString());
        findings.AddTail(line);
    }
    return findings.GetCount() == before;
}

void CZENDatabase::AddUniqueSampleIDIndexWhenPossible() noexcept
{
    try {
        if (HasUniqueSampleIDIndex())
            return;
        // Checked again under the write lock: another station may have added
        // the index, or stored a duplicate, since.
        CTransaction transaction(*this);
        if (HasUniqueSampleIDIndex())
            return;
        std::vector<CDuplicateSampleID> groups;
        if (!FindDuplicateSampleIDs(groups) || !groups.empty())
            return;
        ExecuteSQL(zendb_ident::kCreateIndexSql);
        transaction.Commit();
    } catch (CException& e) {
        e.Delete();
    } catch (const std::bad_alloc&) {
    }
}

// --- Audit trail ---------------------------------------------------------------
// Kept apart from the schema steps above: the trail's tables do not change
// the schema version, so stations that do not know them keep opening the file
// (their changes are simply not recorded).

CString CZENDatabase::GetAuditUserName()
{
    return m_eUserRole == UserRoleNobody ? CString() : m_strUserName;
}

bool CZENDatabase::IsAuditTrailPresent()
{
    if (m_nAuditTrailPresent < 0)
        m_nAuditTrailPresent = zenaudit::HasTables(*this) ? 1 : 0;
    return m_nAuditTrailPresent == 1;
}

const CAuditSealer& CZENDatabase::GetAuditSealer()
{
    if (!m_pAuditSealer)
        m_pAuditSealer = std::make_unique<CAuditSealer>();
    return *m_pAuditSealer;
}

void CZENDatabase::AddAuditTrailWhenMissing(int upgradedFromMinor) noexcept
{
    try {
        CTransaction transaction(*this);
        m_nAuditTrailPresent = -1;
        const bool added = !IsAuditTrailPresent();
        if (added) {
            zenaudit::CreateTables(*this);
            m_nAuditTrailPresent = 1;
        }
        std::vector<CAuditEntry> entries;
        if (upgradedFromMinor != 0) {
            CAuditEntry upgrade;
            upgrade.Action = zenaudit::kUpgrade;
            upgrade.ObjectKind = "database";
            upgrade.FieldName = "version";
            upgrade.OldValue.Format("%d.%d", ZEN_SCHEMA_MAJOR, upgradedFromMinor);
            upgrade.NewValue.Format("%d.%d", ZEN_SCHEMA_MAJOR, ZEN_SCHEMA_MINOR);
            entries.push_back(upgrade);
        }
        if (added) {
            CAuditEntry trail;
            trail.Action = zenaudit::kUpgrade;
            trail.ObjectKind = "database";
            trail.FieldName = "AuditTrail";
            trail.NewValue = "audit trail added";
            entries.push_back(trail);
        }
        zenaudit::Write(this, entries);
        transaction.Commit();
    } catch (CException& e) {
        m_nAuditTrailPresent = -1;
        e.Delete();
    } catch (const std::bad_alloc&) {
        m_nAuditTrailPresent = -1;
    }
}

void CZENDatabase::RecordLoginOutcome(bool succeeded) noexcept
{
    // The session's own first try with the empty password (a name given
    // without one) is no person's attempt: it is neither counted nor recorded.
    if (!succeeded && m_strPassword.IsEmpty())
        return;
    try {
        if (!CanUpdate())
            return;
        CAuditEntry entry;
        entry.Action = succeeded ? zenaudit::kLogin : zenaudit::kLoginFailed;
        entry.ObjectKind = "user";
        entry.ObjectIdentifier = m_strUserName;
        // A failed try names the user it tried.
        entry.UserName = m_strUserName;
        zenaudit::Write(this, std::vector<CAuditEntry>{entry});
    } catch (CException& e) {
        e.Delete();
    } catch (const std::bad_alloc&) {
    }
}
