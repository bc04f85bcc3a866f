// CString: an ANSI text that owns its storage.
#pragma once
#include <windows.h>

#include "PlainArray.h"

class CString {
 public:
  int GetLength() const { return m_chars.IsEmpty() ? 0 : ::lstrlenA(m_chars.GetData()); }
  bool IsEmpty() const { return GetLength() == 0; }
  void Empty() { m_chars.RemoveAll(); }
  operator LPCSTR() const { return m_chars.IsEmpty() ? "" : m_chars.GetData(); }

  // A writable buffer of at least nMinLength characters plus a terminator, null when there is no
  // memory for it; ReleaseBuffer ends the text at its first null.
  LPSTR GetBuffer(int nMinLength);
  void ReleaseBuffer() {}

 private:
  CPlainArray<char> m_chars;  // empty, or the text and its terminator (and room after it)
};

inline LPSTR CString::GetBuffer(int nMinLength) {
  const int length = GetLength();
  const int size = (nMinLength > length ? nMinLength : length) + 1;
  if (size > m_chars.GetSize() && !m_chars.SetSize(size)) return nullptr;
  m_chars[m_chars.GetSize() - 1] = '\0';  // the text ends inside the buffer whatever is written
  return m_chars.GetData();
}
