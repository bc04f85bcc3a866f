#include "bridge/RowText.h"

#include <algorithm>

#include <cstring>

#include "framework/PlainArray.h"
#include "framework/ThreadState.h"

namespace {

// The probe row: bars, each after a tab, so that every bar is drawn on its own at its stop.
constexpr int kProbeLength = 1 + 2 * CRowTextLayout::kMaxStops;
constexpr wchar_t kBar = L'|';
// Farther than any row reaches: a position beyond it is no stop.
constexpr LONG kRowsReach = 0x7FFF;

// One run of text a metafile shows drawn: where, and its first character.
struct DrawnText {
  LONG x, y;
  wchar_t first;
};

// The runs of text a list drew into hPicture.
void TextsDrawn(HENHMETAFILE hPicture, CPlainArray<DrawnText>& texts) {
  const UINT size = ::GetEnhMetaFileBits(hPicture, 0, nullptr);
  CPlainArray<BYTE> bits;
  if (size == 0 || !bits.SetSize(static_cast<int>(size)) ||
      ::GetEnhMetaFileBits(hPicture, size, bits.GetData()) != size)
    return;
  for (UINT at = 0; at + sizeof(EMR) <= size;) {
    const auto* record = reinterpret_cast<const EMR*>(bits.GetData() + at);
    if (record->nSize < sizeof(EMR) || record->nSize > size - at) break;
    const bool text = record->iType == EMR_EXTTEXTOUTW || record->iType == EMR_EXTTEXTOUTA;
    if (text && record->nSize >= sizeof(EMREXTTEXTOUTW)) {
      const EMRTEXT& out = reinterpret_cast<const EMREXTTEXTOUTW*>(record)->emrtext;
      const UINT unit = record->iType == EMR_EXTTEXTOUTW ? 2 : 1;
      if (out.nChars >= 1 && out.offString + unit <= record->nSize) {
        const BYTE* first = reinterpret_cast<const BYTE*>(record) + out.offString;
        texts.Add({out.ptlReference.x, out.ptlReference.y,
                   unit == 2 ? *reinterpret_cast<const wchar_t*>(first)
                             : static_cast<wchar_t>(*first)});
      }
    }
    at += record->nSize;
  }
}

// What a list of procedure `call` draws, printed into a metafile; null when nothing could be.
template <typename Call>
HENHMETAFILE PrintedBy(const Call& call) {
  HDC hRecorder = ::CreateEnhMetaFileW(nullptr, nullptr, nullptr, nullptr);
  if (hRecorder == nullptr) return nullptr;
  call(WM_PRINTCLIENT, reinterpret_cast<WPARAM>(hRecorder), PRF_CLIENT);
  return ::CloseEnhMetaFile(hRecorder);
}

// The system's own procedure for hList's class; null for a class of anyone else's (whose
// procedure, host code, was not written for the calls made here).
WNDPROC SystemListProc(HWND hList, bool bUnicode) {
  if (bUnicode) {
    const auto own = reinterpret_cast<WNDPROC>(::GetClassLongPtrW(hList, GCLP_WNDPROC));
    for (const wchar_t* name : {L"ListBox", L"ComboLBox"}) {
      WNDCLASSEXW system = {sizeof system, 0, nullptr, 0, 0, nullptr, nullptr, nullptr, nullptr,
                            nullptr, nullptr, nullptr};
      if (::GetClassInfoExW(nullptr, name, &system) && system.lpfnWndProc == own) return own;
    }
  } else {
    const auto own = reinterpret_cast<WNDPROC>(::GetClassLongPtrA(hList, GCLP_WNDPROC));
    for (const char* name : {"ListBox", "ComboLBox"}) {
      WNDCLASSEXA system = {sizeof system, 0, nullptr, 0, 0, nullptr, nullptr, nullptr, nullptr,
                            nullptr, nullptr, nullptr};
      if (::GetClassInfoExA(nullptr, name, &system) && system.lpfnWndProc == own) return own;
    }
  }
  return nullptr;
}

// What decides a measured layout: lists made alike, in the same fonts, with the same stops, lay out
// their rows alike, and measuring costs a list and a metafile. The last few layouts measured, for
// every GUI thread (a dialog's lists are mostly alike).
struct LayoutKey {
  DWORD dwTabStyle;
  LOGFONTW font, stopsFont;
  int nStops;
  INT stops[CRowTextLayout::kMaxStops];
};

struct KnownLayout {
  LayoutKey key;
  CRowTextLayout layout;
};

CLock g_knownLayoutsLock;
constexpr int kKnownLayouts = 8;
KnownLayout g_knownLayouts[kKnownLayouts];
int g_nKnownLayouts = 0;
int g_nNextKnownLayout = 0;

void KeyOf(LayoutKey* key, DWORD style, HFONT font, HFONT stopsFont, const INT* pStops, int nStops) {
  std::memset(key, 0, sizeof *key);
  key->dwTabStyle = style & LBS_USETABSTOPS;
  ::GetObjectW(font, sizeof key->font, &key->font);
  key->nStops = std::min(std::max(nStops, 0), CRowTextLayout::kMaxStops);
  if (key->nStops > 0) ::GetObjectW(stopsFont, sizeof key->stopsFont, &key->stopsFont);
  for (int i = 0; i < key->nStops; ++i) key->stops[i] = pStops[i];
}

bool FindKnownLayout(const LayoutKey& key, CRowTextLayout* pLayout) {
  CLockScope lock(g_knownLayoutsLock);
  for (int i = 0; i < g_nKnownLayouts; ++i) {
    if (std::memcmp(&g_knownLayouts[i].key, &key, sizeof key) != 0) continue;
    *pLayout = g_knownLayouts[i].layout;
    return true;
  }
  return false;
}

void KeepKnownLayout(const LayoutKey& key, const CRowTextLayout& layout) {
  CLockScope lock(g_knownLayoutsLock);
  const int slot = g_nNextKnownLayout;
  g_nNextKnownLayout = (slot + 1) % kKnownLayouts;
  if (g_nKnownLayouts < kKnownLayouts) ++g_nKnownLayouts;
  g_knownLayouts[slot] = {key, layout};
}

}  // namespace

CRowTextLayout CRowTextLayout::Unmeasured(DWORD style) {
  CRowTextLayout layout;
  layout.bExpandsTabs = (style & LBS_USETABSTOPS) != 0;
  return layout;
}

bool CRowTextLayout::MeasureOnTwin(HWND hParent, DWORD style, HFONT font, HFONT stopsFont,
                                   const INT* pDialogStops, int nDialogStops) {
  LayoutKey key;
  KeyOf(&key, style, font, stopsFont, pDialogStops, nDialogStops);
  if (FindKnownLayout(key, this)) return true;
  const HWND hTwin = ::CreateWindowExW(0, L"LISTBOX", nullptr,
                                       WS_CHILD | LBS_NOINTEGRALHEIGHT | (style & LBS_USETABSTOPS),
                                       0, 0, kRowsReach, 100, hParent, nullptr, nullptr, nullptr);
  if (hTwin == nullptr) return false;
  // The twin goes through what the list did: stops taken in the font it had then, then its font.
  if (nDialogStops > 0) {
    ::SendMessageW(hTwin, WM_SETFONT, reinterpret_cast<WPARAM>(stopsFont), FALSE);
    ::SendMessageW(hTwin, LB_SETTABSTOPS, static_cast<WPARAM>(nDialogStops),
                   reinterpret_cast<LPARAM>(pDialogStops));
  }
  ::SendMessageW(hTwin, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  wchar_t probe[kProbeLength + 1];
  for (int i = 0; i < kProbeLength; ++i) probe[i] = i % 2 ? L'\t' : kBar;
  probe[kProbeLength] = L'\0';
  ::SendMessageW(hTwin, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(probe));
  const HENHMETAFILE hPicture = PrintedBy([hTwin](UINT message, WPARAM wParam, LPARAM lParam) {
    return ::SendMessageW(hTwin, message, wParam, lParam);
  });
  ::DestroyWindow(hTwin);
  if (hPicture == nullptr) return false;
  CPlainArray<DrawnText> texts;
  TextsDrawn(hPicture, texts);
  ::DeleteEnhMetaFile(hPicture);
  // The bars of the row, in order. A bar beyond any row's reach comes from the system's default
  // stops, which a metafile cannot always work out: the system works them out again where the
  // text is drawn.
  CPlainArray<LONG> bars;
  bool allWithinReach = true;
  for (int i = 0; i < texts.GetSize(); ++i) {
    if (texts[i].first != kBar || texts[i].y != 0) continue;
    if (texts[i].x >= 0 && texts[i].x <= kRowsReach)
      bars.Add(texts[i].x);
    else
      allWithinReach = false;
  }
  if (bars.GetSize() == 0) return false;
  std::sort(bars.GetData(), bars.GetData() + bars.GetSize());
  // One bar: the list drew the row whole, its tabs unexpanded.
  nOrigin = bars[0];
  bExpandsTabs = bars.GetSize() > 1 || !allWithinReach;
  nStops = allWithinReach ? std::min(bars.GetSize() - 1, kMaxStops) : 0;
  for (int i = 0; i < nStops; ++i) stops[i] = bars[i + 1];
  bLearned = false;
  KeepKnownLayout(key, *this);
  return true;
}

bool CRowTextLayout::LearnStopsShown(HWND hList, bool bUnicode, const bool& stillVeiled) {
  const WNDPROC own = SystemListProc(hList, bUnicode);
  if (!bExpandsTabs || own == nullptr) return false;
  auto call = [&](UINT message, WPARAM wParam, LPARAM lParam) {
    return bUnicode ? ::CallWindowProcW(own, hList, message, wParam, lParam)
                    : ::CallWindowProcA(own, hList, message, wParam, lParam);
  };
  // A list draws only with its redraw on; the system's handling of the switch takes WS_VISIBLE
  // with it, which stays as it was, and may move the top row, which is put back.
  const LRESULT top = call(LB_GETTOPINDEX, 0, 0);
  const LONG visible = ::GetWindowLongA(hList, GWL_STYLE) & WS_VISIBLE;
  call(WM_SETREDRAW, TRUE, 0);
  const HENHMETAFILE hPicture = PrintedBy(call);
  // A host that switched the skin off meanwhile has its list's drawing on again.
  if (!::IsWindow(hList)) return false;
  if (stillVeiled) call(WM_SETREDRAW, FALSE, 0);
  const LONG style = ::GetWindowLongA(hList, GWL_STYLE);
  if ((style & WS_VISIBLE) != visible)
    ::SetWindowLongA(hList, GWL_STYLE, (style & ~WS_VISIBLE) | visible);
  if (call(LB_GETTOPINDEX, 0, 0) != top) call(LB_SETTOPINDEX, static_cast<WPARAM>(top), 0);
  if (hPicture == nullptr) return false;
  CPlainArray<DrawnText> texts;
  TextsDrawn(hPicture, texts);
  ::DeleteEnhMetaFile(hPicture);
  // Every run that starts past the text's origin starts at a stop: the stops in use, added to
  // those learned before, in order, once each.
  CPlainArray<LONG> shown;
  for (int i = 0; bLearned && i < nStops; ++i) shown.Add(stops[i]);
  const int learnedBefore = shown.GetSize();
  RECT client = {};
  ::GetClientRect(hList, &client);
  for (LRESULT row = top; row < call(LB_GETCOUNT, 0, 0); ++row) {
    RECT rc = {};
    if (call(LB_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&rc)) == LB_ERR ||
        rc.top >= client.bottom)
      break;
    for (int i = 0; i < texts.GetSize(); ++i)
      if (texts[i].y >= rc.top && texts[i].y < rc.bottom && texts[i].x - rc.left > nOrigin &&
          texts[i].x - rc.left <= kRowsReach)
        shown.Add(texts[i].x - rc.left);
  }
  if (shown.GetSize() == learnedBefore) return false;
  std::sort(shown.GetData(), shown.GetData() + shown.GetSize());
  const int count =
      static_cast<int>(std::unique(shown.GetData(), shown.GetData() + shown.GetSize()) -
                       shown.GetData());
  nStops = std::min(count, kMaxStops);
  std::copy(shown.GetData(), shown.GetData() + nStops, stops);
  bLearned = true;
  return true;
}

void CRowTextLayout::Draw(HDC hDC, const RECT& row, const char* text, int length) const {
  if (bExpandsTabs)
    ::TabbedTextOutA(hDC, row.left + nOrigin, row.top, text, length, nStops,
                     const_cast<INT*>(stops), row.left);
  else
    ::ExtTextOutA(hDC, row.left + nOrigin, row.top, 0, nullptr, text, static_cast<UINT>(length),
                  nullptr);
}

void CRowTextLayout::Draw(HDC hDC, const RECT& row, const wchar_t* text, int length) const {
  if (bExpandsTabs)
    ::TabbedTextOutW(hDC, row.left + nOrigin, row.top, text, length, nStops,
                     const_cast<INT*>(stops), row.left);
  else
    ::ExtTextOutW(hDC, row.left + nOrigin, row.top, 0, nullptr, text, static_cast<UINT>(length),
                  nullptr);
}

bool CRowTextLayout::operator==(const CRowTextLayout& other) const {
  return nOrigin == other.nOrigin && bExpandsTabs == other.bExpandsTabs &&
         nStops == other.nStops && std::equal(stops, stops + nStops, other.stops);
}
