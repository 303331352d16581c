// Root of the framework's class hierarchy: run-time class information
// (class name, base class, IsKindOf), serialisation, validity checks and dumps.
// Classes opt in with DECLARE_DYNAMIC / IMPLEMENT_DYNAMIC.
#pragma once

#include "framework/Types.h"

#include <ostream>
#include <string>

class CArchive;
class CObject;

// Static description of one class; one instance per class that declares it.
struct CRuntimeClass {
    const char* m_lpszClassName;
    const CRuntimeClass* m_pBaseClass;

    // True when this class is pClass or derives from it.
    BOOL IsDerivedFrom(const CRuntimeClass* pClass) const;
};

// Text sink of Dump(): writes to a standard stream.
class CDumpContext {
public:
    explicit CDumpContext(std::ostream& out) : m_out(out) {}
    CDumpContext& operator<<(const char* text);
    CDumpContext& operator<<(const std::string& text);
    CDumpContext& operator<<(int value);
    CDumpContext& operator<<(unsigned value);
    CDumpContext& operator<<(long long value);
    CDumpContext& operator<<(double value);
    CDumpContext& operator<<(const void* pointer);

private:
    std::ostream& m_out;
};

class CObject {
public:
    virtual ~CObject() = default;

    virtual const CRuntimeClass* GetRuntimeClass() const;
    // True when the object is of class pClass or of a class derived from it.
    BOOL IsKindOf(const CRuntimeClass* pClass) const;

    // Writes or reads the object; the base does nothing.
    virtual void Serialize(CArchive& ar);
    // Checks the object's invariants in debug builds; the base checks nothing.
    virtual void AssertValid() const;
    // Writes a readable description (class name and address for the base).
    virtual void Dump(CDumpContext& dc) const;

    static const CRuntimeClass classCObject;

protected:
    CObject() = default;
    CObject(const CObject&) = default;
    CObject& operator=(const CObject&) = default;
};

#define RUNTIME_CLASS(class_name) (&class_name::class##class_name)

#define DECLARE_DYNAMIC(class_name)                                   \
public:                                                               \
    static const CRuntimeClass class##class_name;                     \
    const CRuntimeClass* GetRuntimeClass() const override;

#define IMPLEMENT_DYNAMIC(class_name, base_class_name)                                 \
    const CRuntimeClass class_name::class##class_name = {#class_name,                  \
                                                         RUNTIME_CLASS(base_class_name)}; \
    const CRuntimeClass* class_name::GetRuntimeClass() const                           \
    {                                                                                  \
        return RUNTIME_CLASS(class_name);                                              \
    }
