// The facade's schema upgrade: the walk that lets every table recordset apply
// its share of each missing step (system table last, so that the version
// moves only after the other tables changed), the public one-step operations,
// and the one-off filler of the version 1.5 settings columns.

#include "database/ZENDatabase.h"

#include "framework/Exceptions.h"
#include "recordsets/CZENDB_PatternRecordsets.h"
#include "recordsets/CZENDB_SamplesRecordset.h"
#include "recordsets/CZENDB_SystemRecordsets.h"

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
