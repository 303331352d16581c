// Base of every table recordset: connect string, upgrade hooks, column scan.

#include "recordsets/CZENDB_Recordset.h"

#include "framework/Exceptions.h"
#include "framework/UIHost.h"
#include "framework/sql/FieldInfo.h"

#include <memory>

CZENDB_Recordset::CZENDB_Recordset() : CRecordset(nullptr)
{
}

CZENDB_Recordset::CZENDB_Recordset(CDatabase* database) : CRecordset(database)
{
}

CString CZENDB_Recordset::GetDefaultConnect()
{
    return "ODBC;";
}

int CZENDB_Recordset::UpdateToVer19()
{
    return 1;
}

int CZENDB_Recordset::UpdateToVer18()
{
    return 1;
}

int CZENDB_Recordset::UpdateToVer17()
{
    return 1;
}

int CZENDB_Recordset::UpdateToVer16()
{
    return 1;
}

int CZENDB_Recordset::UpdateToVer15()
{
    return 1;
}

int CZENDB_Recordset::UpdateToVer14()
{
    return 1;
}

int CZENDB_Recordset::UpdateToVer13()
{
    return 1;
}

int CZENDB_Recordset::ScanTableConfiguration(CMapStringToPtr* columns)
{
    if (m_pDatabase == nullptr || columns == nullptr)
        return 0;
    try {
        if (!Open(CRecordset::dynaset, GetDefaultSQL(), CRecordset::none))
            return 1;
        const short count = GetODBCFieldCount();
        for (short i = 0; i < count; ++i) {
            auto info = std::make_unique<CODBCFieldInfo>();
            GetODBCFieldInfo(i, *info);
            // Store the new record before freeing the old one, so the map never
            // holds a freed pointer.
            const CString name = info->m_strName;
            void* previous = nullptr;
            const BOOL replaced = columns->Lookup(name, previous);
            columns->SetAt(name, info.get());
            info.release();
            if (replaced)
                delete static_cast<CODBCFieldInfo*>(previous);
        }
        Close();
        return 1;
    } catch (CDBException& e) {
        AfxMessageBox(e.m_strError, MB_OK);
        e.Delete();
        return 0;
    }
}
