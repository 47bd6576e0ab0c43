// Growable arrays of strings, bytes and pointers.
#pragma once

#include "CString.h"

#include <vector>

template <class T>
class CArrayOf {
public:
    int GetSize() const { return static_cast<int>(m_data.size()); }
    bool IsEmpty() const { return m_data.empty(); }
    void SetSize(int nNewSize) { m_data.resize(static_cast<size_t>(nNewSize > 0 ? nNewSize : 0)); }
    int Add(const T& value)
    {
        m_data.push_back(value);
        return GetSize() - 1;
    }
    void RemoveAll() { m_data.clear(); }
    T& operator[](int nIndex) { return m_data[static_cast<size_t>(nIndex)]; }
    const T& operator[](int nIndex) const { return m_data[static_cast<size_t>(nIndex)]; }
    T GetAt(int nIndex) const { return m_data[static_cast<size_t>(nIndex)]; }
    void SetAt(int nIndex, const T& value) { m_data[static_cast<size_t>(nIndex)] = value; }

private:
    std::vector<T> m_data;
};

typedef CArrayOf<CString> CStringArray;
typedef CArrayOf<BYTE> CByteArray;
