// CString: an ANSI text that owns its storage.
#pragma once
#include <windows.h>

#include <string>

class CString {
 public:
  CString() = default;
  CString(LPCSTR psz) : m_text(psz ? psz : "") {}  // NOLINT: converts like a C string

  int GetLength() const { return static_cast<int>(m_text.size()); }
  bool IsEmpty() const { return m_text.empty(); }
  void Empty() { m_text.clear(); }
  operator LPCSTR() const { return m_text.c_str(); }

  // A writable buffer of at least nMinLength characters plus a terminator; ReleaseBuffer trims the
  // text at its first null.
  LPSTR GetBuffer(int nMinLength);
  void ReleaseBuffer();

 private:
  std::string m_text;
};

inline LPSTR CString::GetBuffer(int nMinLength) {
  if (nMinLength > GetLength()) m_text.resize(static_cast<size_t>(nMinLength));
  return &m_text[0];
}

inline void CString::ReleaseBuffer() {
  const size_t end = m_text.find('\0');
  if (end != std::string::npos) m_text.resize(end);
}
