// CPlainArray: a growable array of plain values (copied as bytes) on the process heap. The library
// is built without C++ exceptions, so growing never throws: a growth the heap cannot give answers
// false and leaves the array as it was.
#pragma once
#include <windows.h>

#include <string.h>

#include <type_traits>

template <typename T>
class CPlainArray {
  static_assert(std::is_trivially_copyable<T>::value, "the array moves its values as bytes");

 public:
  CPlainArray() = default;
  ~CPlainArray() { RemoveAll(); }
  CPlainArray(const CPlainArray&) = delete;
  CPlainArray& operator=(const CPlainArray&) = delete;

  int GetSize() const { return m_nSize; }
  bool IsEmpty() const { return m_nSize == 0; }
  T* GetData() { return m_pData; }
  const T* GetData() const { return m_pData; }
  T& operator[](int nIndex) { return m_pData[nIndex]; }
  const T& operator[](int nIndex) const { return m_pData[nIndex]; }

  // nNewSize values; the ones added are zero bytes.
  bool SetSize(int nNewSize) {
    if (nNewSize < 0 || !Reserve(nNewSize)) return false;
    if (nNewSize > m_nSize) memset(m_pData + m_nSize, 0, sizeof(T) * (nNewSize - m_nSize));
    m_nSize = nNewSize;
    return true;
  }

  bool Add(const T& value) {
    if (m_nSize == m_nCapacity && !Reserve(m_nSize < 8 ? 8 : m_nSize + m_nSize / 2)) return false;
    m_pData[m_nSize++] = value;
    return true;
  }

  void RemoveAt(int nIndex) {
    memmove(m_pData + nIndex, m_pData + nIndex + 1, sizeof(T) * (m_nSize - nIndex - 1));
    --m_nSize;
  }

  void RemoveAll() {
    if (m_pData != nullptr) ::HeapFree(::GetProcessHeap(), 0, m_pData);
    m_pData = nullptr;
    m_nSize = m_nCapacity = 0;
  }

 private:
  bool Reserve(int nCapacity) {
    if (nCapacity <= m_nCapacity) return true;
    if (static_cast<size_t>(nCapacity) > static_cast<size_t>(-1) / sizeof(T)) return false;
    const size_t bytes = sizeof(T) * static_cast<size_t>(nCapacity);
    void* p = m_pData == nullptr ? ::HeapAlloc(::GetProcessHeap(), 0, bytes)
                                 : ::HeapReAlloc(::GetProcessHeap(), 0, m_pData, bytes);
    if (p == nullptr) return false;
    m_pData = static_cast<T*>(p);
    m_nCapacity = nCapacity;
    return true;
  }

  T* m_pData = nullptr;
  int m_nSize = 0;
  int m_nCapacity = 0;
};
