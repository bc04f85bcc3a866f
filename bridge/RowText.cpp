#include "bridge/RowText.h"

#include <algorithm>

#include "framework/PlainArray.h"

namespace {

// The probe row: bars, each after a tab, so that every bar is drawn on its own at its stop.
constexpr int kProbeLength = 1 + 2 * CRowTextLayout::kMaxStops;
constexpr wchar_t kBar = L'|';

template <typename Char>
void FillProbe(Char (&probe)[kProbeLength + 1]) {
  for (int i = 0; i < kProbeLength; ++i) probe[i] = static_cast<Char>(i % 2 ? L'\t' : kBar);
  probe[kProbeLength] = Char();
}

// The x of each bar the metafile shows drawn at height y within a row's reach of x = left, in
// increasing order; FALSE when any bar lay beyond it.
bool BarsAt(HENHMETAFILE hPicture, LONG y, LONG left, CPlainArray<LONG>& xs) {
  bool allWithinReach = true;
  const UINT size = ::GetEnhMetaFileBits(hPicture, 0, nullptr);
  CPlainArray<BYTE> bits;
  if (size == 0 || !bits.SetSize(static_cast<int>(size)) ||
      ::GetEnhMetaFileBits(hPicture, size, bits.GetData()) != size)
    return false;
  for (UINT at = 0; at + sizeof(EMR) <= size;) {
    const auto* record = reinterpret_cast<const EMR*>(bits.GetData() + at);
    if (record->nSize < sizeof(EMR) || record->nSize > size - at) break;
    const bool text = record->iType == EMR_EXTTEXTOUTW || record->iType == EMR_EXTTEXTOUTA;
    if (text && record->nSize >= sizeof(EMREXTTEXTOUTW)) {
      const EMRTEXT& out = reinterpret_cast<const EMREXTTEXTOUTW*>(record)->emrtext;
      const UINT unit = record->iType == EMR_EXTTEXTOUTW ? 2 : 1;
      if (out.ptlReference.y == y && out.nChars >= 1 && out.offString + unit <= record->nSize) {
        const BYTE* first = reinterpret_cast<const BYTE*>(record) + out.offString;
        const LONG x = out.ptlReference.x;
        if ((unit == 2 ? *reinterpret_cast<const wchar_t*>(first) : static_cast<wchar_t>(*first)) !=
            kBar) {
        } else if (x >= left && x - left <= 0x7FFF) {
          xs.Add(x);
        } else {
          allWithinReach = false;
        }
      }
    }
    at += record->nSize;
  }
  std::sort(xs.GetData(), xs.GetData() + xs.GetSize());
  return allWithinReach;
}

}  // namespace

CRowTextLayout CRowTextLayout::Unmeasured(DWORD style) {
  CRowTextLayout layout;
  layout.bExpandsTabs = (style & LBS_USETABSTOPS) != 0;
  return layout;
}

bool CRowTextLayout::Measure(HWND hList, bool bUnicode) {
  const auto own = reinterpret_cast<WNDPROC>(bUnicode ? ::GetClassLongPtrW(hList, GCLP_WNDPROC)
                                                      : ::GetClassLongPtrA(hList, GCLP_WNDPROC));
  auto call = [&](UINT message, WPARAM wParam, LPARAM lParam) {
    return bUnicode ? ::CallWindowProcW(own, hList, message, wParam, lParam)
                    : ::CallWindowProcA(own, hList, message, wParam, lParam);
  };
  if (own == nullptr || call(LB_GETCOUNT, 0, 0) <= 0) return false;
  // The probe goes in as the top row shown, and everything it moves is put back.
  const LRESULT top = call(LB_GETTOPINDEX, 0, 0);
  const LRESULT selected = call(LB_GETCURSEL, 0, 0);
  const LRESULT caret = call(LB_GETCARETINDEX, 0, 0);
  const LRESULT anchor = call(LB_GETANCHORINDEX, 0, 0);
  wchar_t wideProbe[kProbeLength + 1];
  char probe[kProbeLength + 1];
  FillProbe(wideProbe);
  FillProbe(probe);
  const LRESULT at = call(LB_INSERTSTRING, static_cast<WPARAM>(top),
                          bUnicode ? reinterpret_cast<LPARAM>(wideProbe)
                                   : reinterpret_cast<LPARAM>(probe));
  if (at < 0) return false;
  RECT row = {};
  call(LB_GETITEMRECT, static_cast<WPARAM>(at), reinterpret_cast<LPARAM>(&row));
  // A list draws only with its redraw on; the system's handling of the switch takes WS_VISIBLE
  // with it, which stays as it was.
  const LONG visible = ::GetWindowLongA(hList, GWL_STYLE) & WS_VISIBLE;
  HENHMETAFILE hPicture = nullptr;
  if (HDC hRecorder = ::CreateEnhMetaFileW(nullptr, nullptr, nullptr, nullptr)) {
    call(WM_SETREDRAW, TRUE, 0);
    call(WM_PRINTCLIENT, reinterpret_cast<WPARAM>(hRecorder), PRF_CLIENT);
    call(WM_SETREDRAW, FALSE, 0);
    hPicture = ::CloseEnhMetaFile(hRecorder);
  }
  const LONG style = ::GetWindowLongA(hList, GWL_STYLE);
  if ((style & WS_VISIBLE) != visible)
    ::SetWindowLongA(hList, GWL_STYLE, (style & ~WS_VISIBLE) | visible);
  if (::IsWindow(hList)) {
    call(LB_DELETESTRING, static_cast<WPARAM>(at), 0);
    if (call(LB_GETTOPINDEX, 0, 0) != top) call(LB_SETTOPINDEX, static_cast<WPARAM>(top), 0);
    if (selected >= 0 && call(LB_GETCURSEL, 0, 0) != selected)
      call(LB_SETCURSEL, static_cast<WPARAM>(selected), 0);
    if (caret >= 0 && call(LB_GETCARETINDEX, 0, 0) != caret)
      call(LB_SETCARETINDEX, static_cast<WPARAM>(caret), FALSE);
    if (anchor >= 0 && call(LB_GETANCHORINDEX, 0, 0) != anchor)
      call(LB_SETANCHORINDEX, static_cast<WPARAM>(anchor), 0);
  }
  if (hPicture == nullptr) return false;
  CPlainArray<LONG> bars;
  const bool allWithinReach = BarsAt(hPicture, row.top, row.left, bars);
  ::DeleteEnhMetaFile(hPicture);
  if (bars.GetSize() == 0) return false;
  // One bar: the list drew the row whole, its tabs unexpanded. Bars beyond the row's reach come
  // from the system's default stops, which a metafile cannot always work out: the system works
  // them out again where the text is drawn.
  nOrigin = bars[0] - row.left;
  bExpandsTabs = bars.GetSize() > 1 || !allWithinReach;
  nStops = allWithinReach ? std::min(bars.GetSize() - 1, kMaxStops) : 0;
  for (int i = 0; i < nStops; ++i) stops[i] = bars[i + 1] - row.left;
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
