// Run-time class information and the default behaviour of CObject.
#include "framework/CObject.h"

const CRuntimeClass CObject::classCObject = {"CObject", nullptr};

BOOL CRuntimeClass::IsDerivedFrom(const CRuntimeClass* pClass) const
{
    for (const CRuntimeClass* p = this; p != nullptr; p = p->m_pBaseClass)
        if (p == pClass)
            return TRUE;
    return FALSE;
}

CDumpContext& CDumpContext::operator<<(const char* text) { m_out << (text ? text : "(null)"); return *this; }
CDumpContext& CDumpContext::operator<<(const std::string& text) { m_out << text; return *this; }
CDumpContext& CDumpContext::operator<<(int value) { m_out << value; return *this; }
CDumpContext& CDumpContext::operator<<(unsigned value) { m_out << value; return *this; }
CDumpContext& CDumpContext::operator<<(long long value) { m_out << value; return *this; }
CDumpContext& CDumpContext::operator<<(double value) { m_out << value; return *this; }
CDumpContext& CDumpContext::operator<<(const void* pointer) { m_out << pointer; return *this; }

const CRuntimeClass* CObject::GetRuntimeClass() const { return &classCObject; }

BOOL CObject::IsKindOf(const CRuntimeClass* pClass) const
{
    return GetRuntimeClass()->IsDerivedFrom(pClass);
}

void CObject::Serialize(CArchive&) {}

void CObject::AssertValid() const {}

void CObject::Dump(CDumpContext& dc) const
{
    dc << "a " << GetRuntimeClass()->m_lpszClassName << " at " << static_cast<const void*>(this) << "\n";
}
