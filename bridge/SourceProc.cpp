#include "bridge/SourceProc.h"

#include <string>

#include "boundary/HookState.h"

namespace {

// The last message repeated to the mirror. Later headers move LB_MSGMAX on; the mirror takes the
// range as it was when the list-box messages were last numbered this far.
constexpr UINT kLastRepeatedMessage = 0x01B0;

LRESULT SendToMirror(bool bUnicode, UINT message, WPARAM wParam, LPARAM lParam) {
  return bUnicode ? ::SendMessageW(g_hMirrorList, message, wParam, lParam)
                  : ::SendMessageA(g_hMirrorList, message, wParam, lParam);
}

LPARAM EmptyText(bool bUnicode) {
  static const char kEmptyA[] = "";
  static const wchar_t kEmptyW[] = L"";
  return bUnicode ? reinterpret_cast<LPARAM>(kEmptyW) : reinterpret_cast<LPARAM>(kEmptyA);
}

// The panel takes the source's client size, widened by the mirror's scroll bar while it shows one,
// at its parent's client origin.
void ResizePanelToSource(HWND hSource) {
  RECT rc = {};
  ::GetClientRect(hSource, &rc);
  if (::GetWindowLongA(g_hMirrorList, GWL_STYLE) & WS_VSCROLL)
    rc.right += ::GetSystemMetrics(SM_CXVSCROLL);
  ::MoveWindow(::GetParent(g_hMirrorList), rc.left, rc.top, rc.right, rc.bottom, TRUE);
}

// A list-box message for the hooked source: acts on the mirror as the source will act on itself,
// then lets the source handle it. Returns the source's answer.
LRESULT RepeatListMessage(HWND hSource, WNDPROC pfnOld, bool bUnicode, UINT message,
                          WPARAM wParam, LPARAM lParam) {
  const LONG style = ::GetWindowLongA(hSource, GWL_STYLE);
  const bool keepsStrings = ListKeepsStrings(hSource);
  const HWND hMirror = g_hMirrorList;
  // Still the same overlay after the source has answered: the host may switch it off or on from
  // whatever the source's own handling sets off.
  auto sameOverlay = [&] { return g_hHookedList == hSource && g_hMirrorList == hMirror; };
  // A text parameter the mirror may read: item data of a source without texts is no text.
  const LPARAM text = keepsStrings ? lParam : EmptyText(bUnicode);

  switch (message) {
    case LB_GETTEXT:
    case LB_GETSELITEMS:
    case LB_GETITEMRECT:
      // These write into a buffer the host sized for the source's answer: the mirror's answer may
      // not fit there.
      break;

    case LB_ADDSTRING:
    case LB_ADDFILE:
    case LB_DIR:
      if (style & LBS_SORT) {
        // A sorted source decides where the item goes; the mirror follows the index it chose.
        const LRESULT index = CallListProc(pfnOld, bUnicode, hSource, message, wParam, lParam);
        if (index >= 0 && sameOverlay()) {
          if (message == LB_DIR) {
            CopyListItems(hSource, hMirror);
          } else {
            SendToMirror(bUnicode, LB_INSERTSTRING, static_cast<WPARAM>(index),
                         message == LB_ADDSTRING ? text : lParam);
          }
        }
        return index;
      }
      SendToMirror(bUnicode, message, wParam, message == LB_ADDSTRING ? text : lParam);
      break;

    case LB_INSERTSTRING:
      SendToMirror(bUnicode, message, wParam, text);
      break;

    case LB_FINDSTRING:
    case LB_FINDSTRINGEXACT:
      // Queries whose answer is dropped; without texts their parameter is data the mirror would
      // read as a text.
      if (keepsStrings) SendToMirror(bUnicode, message, wParam, lParam);
      break;

    case LB_SELECTSTRING:
      if (!keepsStrings) {
        const LRESULT index = CallListProc(pfnOld, bUnicode, hSource, message, wParam, lParam);
        if (index != LB_ERR && sameOverlay())
          SendToMirror(bUnicode, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
        return index;
      }
      SendToMirror(bUnicode, message, wParam, lParam);
      break;

    default:
      SendToMirror(bUnicode, message, wParam, lParam);
      break;
  }
  return CallListProc(pfnOld, bUnicode, hSource, message, wParam, lParam);
}

}  // namespace

LRESULT CallListProc(WNDPROC pfnProc, bool bUnicode, HWND hWnd, UINT message, WPARAM wParam,
                     LPARAM lParam) {
  if (pfnProc == nullptr) {
    return bUnicode ? ::DefWindowProcW(hWnd, message, wParam, lParam)
                    : ::DefWindowProcA(hWnd, message, wParam, lParam);
  }
  return bUnicode ? ::CallWindowProcW(pfnProc, hWnd, message, wParam, lParam)
                  : ::CallWindowProcA(pfnProc, hWnd, message, wParam, lParam);
}

bool ListKeepsStrings(HWND hList) {
  const LONG style = ::GetWindowLongA(hList, GWL_STYLE);
  const bool ownerDrawn = (style & (LBS_OWNERDRAWFIXED | LBS_OWNERDRAWVARIABLE)) != 0;
  return !ownerDrawn || (style & LBS_HASSTRINGS) != 0;
}

LRESULT CALLBACK HookedListProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
  const bool bUnicode = ::IsWindowUnicode(hWnd) != FALSE;
  const WNDPROC pfnOld = g_pfnOldListProc;
  if (hWnd == g_hHookedList) {
    if (message >= LB_ADDSTRING && message <= kLastRepeatedMessage)
      return RepeatListMessage(hWnd, pfnOld, bUnicode, message, wParam, lParam);
    switch (message) {
      case WM_SIZE:
        ResizePanelToSource(hWnd);
        break;
      case WM_SETREDRAW:
        SendToMirror(bUnicode, message, wParam, lParam);
        break;
      case WM_KEYDOWN:
      case WM_KEYUP:
        // The mirror takes the key after the source, when the host's loop gets to it.
        ::PostMessageA(g_hMirrorList, message, wParam, lParam);
        break;
      default:
        break;
    }
  }
  return CallListProc(pfnOld, bUnicode, hWnd, message, wParam, lParam);
}

void InstallSourceProc(HWND hSource, HWND hMirror) {
  // A Unicode source stays Unicode: read and replace its procedure with the wide functions, or the
  // host's later wide texts would reach its own list as question marks.
  const bool bUnicode = ::IsWindowUnicode(hSource) != FALSE;
  const auto pfnOld = reinterpret_cast<WNDPROC>(bUnicode ? ::GetWindowLongPtrW(hSource, GWLP_WNDPROC)
                                                         : ::GetWindowLongPtrA(hSource, GWLP_WNDPROC));
  g_hMirrorList = hMirror;
  if (pfnOld == nullptr) return;
  g_pfnOldListProc = pfnOld;
  const auto pfnNew = reinterpret_cast<LONG_PTR>(&HookedListProc);
  const LONG_PTR replaced = bUnicode ? ::SetWindowLongPtrW(hSource, GWLP_WNDPROC, pfnNew)
                                     : ::SetWindowLongPtrA(hSource, GWLP_WNDPROC, pfnNew);
  if (replaced == 0) {
    g_pfnOldListProc = nullptr;
    return;
  }
  g_hHookedList = hSource;
}

void RemoveSourceProc() {
  if (g_hHookedList != nullptr) {
    const auto pfnOld = reinterpret_cast<LONG_PTR>(g_pfnOldListProc);
    if (::IsWindowUnicode(g_hHookedList))
      ::SetWindowLongPtrW(g_hHookedList, GWLP_WNDPROC, pfnOld);
    else
      ::SetWindowLongPtrA(g_hHookedList, GWLP_WNDPROC, pfnOld);
  }
  g_hHookedList = nullptr;
  g_pfnOldListProc = nullptr;
}

void CopyListItems(HWND hSource, HWND hMirror) {
  const bool keepsStrings = ListKeepsStrings(hSource);
  const LRESULT count = ::SendMessageA(hSource, LB_GETCOUNT, 0, 0);
  // Redraw stays off while the items go in: a visible list with a scroll bar would update the bar
  // for every one of them.
  ::SendMessageA(hMirror, WM_SETREDRAW, FALSE, 0);
  ::SendMessageA(hMirror, LB_RESETCONTENT, 0, 0);
  std::string text;
  for (LRESULT i = 0; i < count; ++i) {
    const LRESULT length = keepsStrings ? ::SendMessageA(hSource, LB_GETTEXTLEN, i, 0) : LB_ERR;
    text.assign(length >= 0 ? static_cast<size_t>(length) + 1 : 1, '\0');
    if (length >= 0 &&
        ::SendMessageA(hSource, LB_GETTEXT, i, reinterpret_cast<LPARAM>(&text[0])) == LB_ERR)
      text[0] = '\0';
    ::SendMessageA(hMirror, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
  }
  ::SendMessageA(hMirror, WM_SETREDRAW, TRUE, 0);
  ::InvalidateRect(hMirror, nullptr, TRUE);
}
