#include "AdversarialHost.h"

#include <cstring>

#include "HostKit.h"
#include "UserInput.h"

namespace adversary {
namespace {

BOOL CALLBACK CountOne(HWND, LPARAM counter) {
  ++*reinterpret_cast<int*>(counter);
  return TRUE;
}

BOOL CALLBACK CountWithDescendants(HWND hWnd, LPARAM counter) {
  ++*reinterpret_cast<int*>(counter);
  ::EnumChildWindows(hWnd, &CountOne, counter);
  return TRUE;
}

DWORD WINAPI RunWork(void* work) {
  (*static_cast<std::function<void()>*>(work))();
  return 0;
}

LRESULT Ask(HWND hList, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
  return ::SendMessageA(hList, message, wParam, lParam);
}

// What a list shows of itself, asked of its own list-box procedure past any subclass: the skin
// answers a reader's questions with the host's list's answers.
LRESULT AskOwn(HWND hList, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
  const auto own = reinterpret_cast<WNDPROC>(::GetClassLongPtrA(hList, GCLP_WNDPROC));
  return ::CallWindowProcA(own, hList, message, wParam, lParam);
}

// A list has texts to read where it keeps them (the skin says so where the host's list does).
bool KeepsStrings(HWND hList) {
  const LONG style = ::GetWindowLongA(hList, GWL_STYLE);
  return (style & (LBS_OWNERDRAWFIXED | LBS_OWNERDRAWVARIABLE)) == 0 || (style & LBS_HASSTRINGS);
}

}  // namespace

int CountThreadWindows() {
  int count = 0;
  ::EnumThreadWindows(::GetCurrentThreadId(), &CountWithDescendants, reinterpret_cast<LPARAM>(&count));
  for (HWND h = ::FindWindowExA(HWND_MESSAGE, nullptr, nullptr, nullptr); h != nullptr;
       h = ::FindWindowExA(HWND_MESSAGE, h, nullptr, nullptr)) {
    if (::GetWindowThreadProcessId(h, nullptr) == ::GetCurrentThreadId()) ++count;
  }
  return count;
}

int SettleWindowCount(int expected) {
  int count = CountThreadWindows();
  for (int i = 0; i < 50 && count != expected; ++i) {
    host::Pump();
    ::Sleep(10);
    count = CountThreadWindows();
  }
  return count;
}

LONG_PTR ProcOf(HWND hWnd) {
  return ::IsWindowUnicode(hWnd) ? ::GetWindowLongPtrW(hWnd, GWLP_WNDPROC)
                                 : ::GetWindowLongPtrA(hWnd, GWLP_WNDPROC);
}

int PanelsIn(HWND hParent) {
  int n = 0;
  for (HWND h = ::FindWindowExA(hParent, nullptr, "#32770", nullptr); h != nullptr;
       h = ::FindWindowExA(hParent, h, "#32770", nullptr))
    ++n;
  return n;
}

bool OnWorkerWhilePumping(std::function<void()> work, DWORD timeoutMs) {
  // The work object must outlive a thread that overruns its time: it is then leaked on purpose.
  auto* owned = new std::function<void()>(std::move(work));
  HANDLE hThread = ::CreateThread(nullptr, 0, &RunWork, owned, 0, nullptr);
  if (hThread == nullptr) {
    delete owned;
    return false;
  }
  const DWORD start = ::GetTickCount();
  bool done = false;
  while (!done && ::GetTickCount() - start < timeoutMs) {
    done = ::MsgWaitForMultipleObjects(1, &hThread, FALSE, 20, QS_ALLINPUT) == WAIT_OBJECT_0;
    host::Pump();
  }
  ::CloseHandle(hThread);
  if (done) delete owned;
  return done;
}

bool OnWorkerLettingSentMessagesThrough(std::function<void()> work, DWORD timeoutMs) {
  auto* owned = new std::function<void()>(std::move(work));
  HANDLE hThread = ::CreateThread(nullptr, 0, &RunWork, owned, 0, nullptr);
  if (hThread == nullptr) {
    delete owned;
    return false;
  }
  const DWORD start = ::GetTickCount();
  bool done = false;
  while (!done && ::GetTickCount() - start < timeoutMs) {
    done = ::MsgWaitForMultipleObjects(1, &hThread, FALSE, 20, QS_SENDMESSAGE) == WAIT_OBJECT_0;
    MSG msg;
    ::PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
  }
  ::CloseHandle(hThread);
  if (done) delete owned;
  return done;
}

std::string HowTheListFails(HWND hList, LONG_PTR ownProc) {
  if (!::IsWindow(hList)) return "the list is gone";
  std::string fails;
  if (!::IsWindowVisible(hList)) fails += " not visible;";
  RECT shape;
  if (::GetWindowRgnBox(hList, &shape) == NULLREGION) fails += " shows nothing of itself;";
  const LRESULT count = Ask(hList, LB_GETCOUNT);
  if (count < 0) return fails + " answers no count";
  if (::GetWindowLongA(hList, GWL_STYLE) & LBS_NODATA) {
    if (ownProc != 0 && ProcOf(hList) != ownProc) fails += " its window procedure is not its own;";
    return fails;
  }
  const char probe[] = "\x01probe row";
  const bool strings = KeepsStrings(hList);
  const LRESULT at = Ask(hList, LB_INSERTSTRING, static_cast<WPARAM>(count),
                         strings ? reinterpret_cast<LPARAM>(probe) : 0x5EED);
  if (at != count) return fails + " took no row at its end";
  if (Ask(hList, LB_GETCOUNT) != count + 1) fails += " did not count the new row;";
  if (strings && Ask(hList, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                     reinterpret_cast<LPARAM>(probe)) != at)
    fails += " did not find the new row;";
  const LONG style = ::GetWindowLongA(hList, GWL_STYLE);
  if ((style & LBS_NOSEL) == 0) {
    const bool multi = (style & (LBS_EXTENDEDSEL | LBS_MULTIPLESEL)) != 0;
    if (multi) {
      Ask(hList, LB_SETSEL, TRUE, at);
      if (Ask(hList, LB_GETSEL, static_cast<WPARAM>(at)) <= 0) fails += " did not select the row;";
    } else {
      Ask(hList, LB_SETCURSEL, static_cast<WPARAM>(at));
      if (Ask(hList, LB_GETCURSEL) != at) fails += " did not select the row;";
    }
  }
  Ask(hList, LB_DELETESTRING, static_cast<WPARAM>(at));
  if (Ask(hList, LB_GETCOUNT) != count) fails += " did not remove the row;";
  // Checked after the list's messages: a pass-through of the library's leaves with one of them.
  if (ownProc != 0 && ProcOf(hList) != ownProc) fails += " its window procedure is not its own;";
  return fails;
}

user::ListState ReadState(HWND hList, int maxTexts) {
  // Texts are asked in the list's own character set (under Wine an ANSI question to a Unicode
  // window procedure copies the text through a fixed-size buffer), and only the first and last
  // rows of a long list.
  user::ListState s;
  s.count = static_cast<int>(AskOwn(hList, LB_GETCOUNT));
  if (s.count < 0) s.count = 0;
  const bool unicode = ::IsWindowUnicode(hList) != FALSE;
  if (KeepsStrings(hList)) {
    for (int i = 0; i < s.count; ++i) {
      if (s.count > maxTexts && i == maxTexts / 2) i = s.count - maxTexts / 2;
      std::string text;
      if (unicode) {
        const LRESULT length = ::SendMessageW(hList, LB_GETTEXTLEN, i, 0);
        std::wstring wide(length > 0 ? static_cast<size_t>(length) + 1 : 1, L'\0');
        if (length > 0) ::SendMessageW(hList, LB_GETTEXT, i, reinterpret_cast<LPARAM>(&wide[0]));
        const int bytes = ::WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, nullptr, 0, nullptr,
                                                nullptr);
        text.assign(bytes > 0 ? static_cast<size_t>(bytes) : 1, '\0');
        ::WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, &text[0], bytes, nullptr, nullptr);
      } else {
        const LRESULT length = Ask(hList, LB_GETTEXTLEN, i);
        text.assign(length > 0 ? static_cast<size_t>(length) + 1 : 1, '\0');
        if (length > 0) Ask(hList, LB_GETTEXT, i, reinterpret_cast<LPARAM>(&text[0]));
      }
      text.resize(std::strlen(text.c_str()));
      s.texts.push_back(text);
    }
  }
  const LONG style = ::GetWindowLongA(hList, GWL_STYLE);
  if (style & (LBS_EXTENDEDSEL | LBS_MULTIPLESEL)) {
    const LRESULT n = AskOwn(hList, LB_GETSELCOUNT);
    s.selected.assign(n > 0 ? static_cast<size_t>(n) : 0, -1);
    if (n > 0) AskOwn(hList, LB_GETSELITEMS, static_cast<WPARAM>(n),
                   reinterpret_cast<LPARAM>(s.selected.data()));
    s.anchor = static_cast<int>(AskOwn(hList, LB_GETANCHORINDEX));
  } else {
    const LRESULT current = AskOwn(hList, LB_GETCURSEL);
    if (current >= 0) s.selected.push_back(static_cast<int>(current));
  }
  s.caret = static_cast<int>(AskOwn(hList, LB_GETCARETINDEX));
  s.top = static_cast<int>(AskOwn(hList, LB_GETTOPINDEX));
  return s;
}

std::string HowTheSkinDiffers(HWND hMirror, HWND hList) {
  if (!::IsWindow(hMirror)) return "no skin";
  host::Pump();
  constexpr int kTextsCompared = 400;
  return user::HowShownDiffers(ReadState(hMirror, kTextsCompared), ReadState(hList, kTextsCompared),
                               user::MaxTopOf(hMirror));
}

}  // namespace adversary
