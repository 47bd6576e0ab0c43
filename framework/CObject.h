// Root object class with run-time class records: each serializable class
// registers its name, version, creation function and base.
#pragma once

#include "fwdefs.h"

class CArchive;
class CObject;

struct CRuntimeClass {
    const char* m_lpszClassName;
    UINT m_wSchema;
    CObject* (*m_pfnCreateObject)();
    const CRuntimeClass* m_pBaseClass;

    CObject* CreateObject() const { return m_pfnCreateObject ? m_pfnCreateObject() : nullptr; }
    bool IsDerivedFrom(const CRuntimeClass* pBase) const;
};

class CObject {
public:
    static const CRuntimeClass classCObject;
    virtual const CRuntimeClass* GetRuntimeClass() const { return &classCObject; }
    virtual ~CObject() = default;
    virtual void Serialize(CArchive&) {}

    bool IsKindOf(const CRuntimeClass* pClass) const { return GetRuntimeClass()->IsDerivedFrom(pClass); }
};

#define RUNTIME_CLASS(class_name) (&class_name::class##class_name)

#define DECLARE_SERIAL(class_name)                                       \
public:                                                                  \
    static const CRuntimeClass class##class_name;                        \
    const CRuntimeClass* GetRuntimeClass() const override { return &class##class_name; } \
    static CObject* CreateObject();

#define IMPLEMENT_SERIAL(class_name, base_class_name, wSchema)           \
    CObject* class_name::CreateObject() { return new class_name; }       \
    const CRuntimeClass class_name::class##class_name = {                \
        #class_name, wSchema, class_name::CreateObject, RUNTIME_CLASS(base_class_name)};
