#include "WindowMap.h"

#include <new>

namespace {

void* const kRemoved = reinterpret_cast<void*>(static_cast<UINT_PTR>(1));

size_t Hash(HWND hWnd, unsigned slot) {
  const auto value = reinterpret_cast<UINT_PTR>(hWnd) * 31 + slot;
  return static_cast<size_t>(value * static_cast<UINT_PTR>(2654435761u) ^ (value >> 7));
}

}  // namespace

CWindowMap::~CWindowMap() { delete[] m_pEntries; }

// The entry of hWnd's slot, or the free entry a search for it ends at; m_nCapacity when the map
// is empty.
size_t CWindowMap::IndexOf(HWND hWnd, unsigned slot) const {
  if (m_nCapacity == 0) return 0;
  const size_t mask = m_nCapacity - 1;
  for (size_t i = Hash(hWnd, slot) & mask;; i = (i + 1) & mask) {
    const Entry& e = m_pEntries[i];
    if (e.pValue == nullptr || (e.pValue != kRemoved && e.hWnd == hWnd && e.slot == slot))
      return i;
  }
}

void* CWindowMap::Find(HWND hWnd, unsigned slot) {
  if (m_nCapacity == 0) return nullptr;
  return m_pEntries[IndexOf(hWnd, slot)].pValue;
}

bool CWindowMap::Grow() {
  // Removed marks go with the copy: a map of few live entries keeps its size.
  const size_t capacity =
      m_nCapacity == 0 ? 64 : (m_nLive * 4 < m_nCapacity ? m_nCapacity : m_nCapacity * 2);
  auto* entries = new (std::nothrow) Entry[capacity]();
  if (entries == nullptr) return false;
  Entry* old = m_pEntries;
  const size_t oldCapacity = m_nCapacity;
  m_pEntries = entries;
  m_nCapacity = capacity;
  m_nUsed = 0;
  for (size_t i = 0; i < oldCapacity; ++i) {
    if (old[i].pValue == nullptr || old[i].pValue == kRemoved) continue;
    m_pEntries[IndexOf(old[i].hWnd, old[i].slot)] = old[i];
    ++m_nUsed;
  }
  delete[] old;
  return true;
}

bool CWindowMap::Set(HWND hWnd, unsigned slot, void* pValue) {
  // At most half full, removed marks counted: every search ends at a free entry soon.
  if ((m_nUsed + 1) * 2 > m_nCapacity && !Grow()) return false;
  Entry& e = m_pEntries[IndexOf(hWnd, slot)];
  if (e.pValue == nullptr) {
    ++m_nUsed;
    ++m_nLive;
  }
  e = {hWnd, slot, pValue};
  return true;
}

void CWindowMap::Remove(HWND hWnd, unsigned slot, void* pValue) {
  if (m_nCapacity == 0) return;
  Entry& e = m_pEntries[IndexOf(hWnd, slot)];
  if (e.pValue != pValue || pValue == nullptr) return;
  e.pValue = kRemoved;
  --m_nLive;
}

void* CWindowMap::Any() const {
  for (size_t i = 0; i < m_nCapacity; ++i)
    if (m_pEntries[i].pValue != nullptr && m_pEntries[i].pValue != kRemoved)
      return m_pEntries[i].pValue;
  return nullptr;
}
