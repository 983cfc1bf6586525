// CArray and its byte and word forms: thin templates over std::vector with bounds-checked
// element access (an index outside the array throws std::out_of_range).
#pragma once

#include "Exceptions.h"
#include "Types.h"

#include <new>
#include <stdexcept>
#include <vector>

template <typename TYPE, typename ARG_TYPE = const TYPE&>
class CArray : public CObject {
public:
    INT_PTR GetSize() const { return static_cast<INT_PTR>(m_items.size()); }
    INT_PTR GetCount() const { return GetSize(); }
    INT_PTR GetUpperBound() const { return GetSize() - 1; }
    bool IsEmpty() const { return m_items.empty(); }

    void SetSize(INT_PTR newSize, INT_PTR /*growBy*/ = -1) { Guard([&] { m_items.resize(Index(newSize)); }); }
    void RemoveAll() { m_items.clear(); m_items.shrink_to_fit(); }
    void FreeExtra() { m_items.shrink_to_fit(); }

    INT_PTR Add(ARG_TYPE item)
    {
        Guard([&] { m_items.push_back(item); });
        return GetSize() - 1;
    }
    void SetAt(INT_PTR index, ARG_TYPE item) { m_items.at(Index(index)) = item; }
    const TYPE& GetAt(INT_PTR index) const { return m_items.at(Index(index)); }
    TYPE& GetAt(INT_PTR index) { return m_items.at(Index(index)); }
    TYPE& ElementAt(INT_PTR index) { return m_items.at(Index(index)); }
    TYPE& operator[](INT_PTR index) { return m_items.at(Index(index)); }
    const TYPE& operator[](INT_PTR index) const { return m_items.at(Index(index)); }
    void InsertAt(INT_PTR index, ARG_TYPE item, INT_PTR count = 1)
    {
        if (index < 0 || index > GetSize()) throw std::out_of_range("CArray::InsertAt");
        Guard([&] { m_items.insert(m_items.begin() + index, static_cast<size_t>(count), item); });
    }
    void RemoveAt(INT_PTR index, INT_PTR count = 1)
    {
        if (index < 0 || count < 0 || index + count > GetSize()) throw std::out_of_range("CArray::RemoveAt");
        m_items.erase(m_items.begin() + index, m_items.begin() + index + count);
    }
    void Copy(const CArray& other) { m_items = other.m_items; }
    INT_PTR Append(const CArray& other)
    {
        const INT_PTR first = GetSize();
        Guard([&] { m_items.insert(m_items.end(), other.m_items.begin(), other.m_items.end()); });
        return first;
    }
    TYPE* GetData() { return m_items.data(); }
    const TYPE* GetData() const { return m_items.data(); }

    auto begin() { return m_items.begin(); }
    auto end() { return m_items.end(); }
    auto begin() const { return m_items.begin(); }
    auto end() const { return m_items.end(); }

private:
    static size_t Index(INT_PTR index)
    {
        if (index < 0) throw std::out_of_range("CArray index");
        return static_cast<size_t>(index);
    }
    template <typename F>
    static void Guard(F&& f)
    {
        try {
            f();
        } catch (const std::bad_alloc&) {
            AfxThrowMemoryException();
        } catch (const std::length_error&) {
            AfxThrowMemoryException();
        }
    }

    std::vector<TYPE> m_items;
};

using CByteArray = CArray<BYTE, BYTE>;
using CWordArray = CArray<WORD, WORD>;
using CDWordArray = CArray<DWORD, DWORD>;
