// A small host application for tests: real top-level windows, real list boxes, a message pump,
// pixels read back from the screen, and the library loaded as a host loads it.
#pragma once
#include <windows.h>
// The library's types (the functions are bound from the loaded DLL, below).
#include <kslHook.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace host {

// Dispatches every message waiting in this thread's queue.
void Pump();

// The colour shown at client point (x, y) of hWnd once the message loop has run and the pending
// painting is done.
COLORREF PixelAt(HWND hWnd, int x, int y);

// TRUE when the user, pointing at the middle of hWnd, would meet hWnd itself.
bool UserMeets(HWND hWnd);

struct Notification {
  HWND hFrom;
  int nCode;
  int nID;
};

// A visible top-level window at a fixed place on the screen that records the notifications its
// controls send it. OnCommand, when set, runs inside the WM_COMMAND handler.
class TopWindow {
 public:
  TopWindow(int x = 20, int y = 20, int width = 640, int height = 480);
  ~TopWindow();
  TopWindow(const TopWindow&) = delete;
  TopWindow& operator=(const TopWindow&) = delete;

  HWND hWnd() const { return m_hWnd; }
  int CountFrom(HWND hFrom, int nCode) const;

  std::vector<Notification> notifications;
  std::function<void(const Notification&)> OnCommand;
  std::vector<UINT> messagesSeen;  // every message the window procedure received

 private:
  static LRESULT CALLBACK Proc(HWND, UINT, WPARAM, LPARAM);
  HWND m_hWnd;
};

// A child window of class `className` (a list box unless told), ANSI or Unicode.
HWND MakeChild(HWND hParent, int nID, DWORD style, int x, int y, int width, int height,
               const char* className = "LISTBOX", bool unicode = false);

// A list box of the usual host kind: visible, notifying, with a scroll bar.
constexpr DWORD kPlainListStyle = WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_BORDER | LBS_NOTIFY;

void AddItems(HWND hList, int nCount, const char* prefix = "Item ");
std::vector<std::string> ItemsOf(HWND hList);

// The library, loaded from the test's own folder, with every export under both of its names.
struct Library {
  Library();
  ~Library();
  Library(const Library&) = delete;
  Library& operator=(const Library&) = delete;

  HMODULE hModule;
  int(WINAPI* CreateHook)(HWND, HWND);
  int(WINAPI* SetBkBmp)(LPCSTR);
  int(WINAPI* SetBkColor)(COLORREF);
  int(WINAPI* SetFgColor)(COLORREF);
  int(WINAPI* SetHwnd)(HWND);
  BOOL(WINAPI* SetBkBmpW)(LPCWSTR);
  using Skin = struct KSLSKIN__*;
  Skin(WINAPI* SkinAttach)(HWND);
  BOOL(WINAPI* SkinDetach)(Skin);
  Skin(WINAPI* SkinOf)(HWND);
  BOOL(WINAPI* SkinSetBkImageW)(Skin, LPCWSTR);
  BOOL(WINAPI* SkinSetBkColor)(Skin, COLORREF);
  BOOL(WINAPI* SkinSetFgColor)(Skin, COLORREF);
  BOOL(WINAPI* SkinSetLook)(Skin, const KSLLOOK*);
  BOOL(WINAPI* SkinGetLook)(Skin, KSLLOOK*);
  BOOL(WINAPI* SkinAutoAttach)(const KSLLOOK*);
  BOOL(WINAPI* SkinAutoDetach)();
  FARPROC Export(const char* name) const { return ::GetProcAddress(hModule, name); }
};

// A look of this library's size, asking for or setting the fields `mask` names, all else zero.
inline KSLLOOK LookOf(UINT mask) {
  KSLLOOK look = {};
  look.cbSize = sizeof look;
  look.fMask = mask;
  return look;
}

// The library loaded once for the whole test program.
Library& Lib();

// The library's panel in hParent (a dialog window), or null; and its mirror list.
HWND FindPanel(HWND hParent);
HWND MirrorOf(HWND hPanel);

// The place a host gives the skin, laid out the way the README teaches: the host's list box stays
// in its own parent, under its own id, where the host (or a system dialog's code) finds it with
// GetDlgItem; a container child lies at the list's rectangle just after it in z-order, and a
// reference window fills the container. kslCreateHook(reference, list) puts the skin into the
// container, over the list's place.
class SkinSite {
 public:
  // Lays the container and its reference window over hList's place. The list is not touched.
  explicit SkinSite(HWND hList);
  // Destroys the container with the reference window and whatever the library left in it.
  ~SkinSite();
  SkinSite(const SkinSite&) = delete;
  SkinSite& operator=(const SkinSite&) = delete;

  HWND container() const { return m_hContainer; }
  HWND reference() const { return m_hReference; }

 private:
  HWND m_hContainer = nullptr;
  HWND m_hReference = nullptr;
};

// The colours a window's client area shows, row by row from the top, once its pending painting is
// done: one read of the screen instead of a GetPixel per point.
class ClientPixels {
 public:
  explicit ClientPixels(HWND hWnd);
  int width() const { return m_width; }
  int height() const { return m_height; }
  COLORREF At(int x, int y) const { return m_pixels[static_cast<size_t>(y) * m_width + x]; }

 private:
  int m_width = 0;
  int m_height = 0;
  std::vector<COLORREF> m_pixels;
};

// Where the panel goes: the reference window given to kslCreateHook.
enum class Reference {
  kContainer,  // a container at the list's place with a reference window filling it (the README's)
  kList,       // the list is its own reference: the panel goes to the list's parent's origin
  kPane,       // a sibling window at the list's place, in the list's parent
};

struct SceneOptions {
  int items = 10;
  DWORD style = kPlainListStyle | LBS_NOINTEGRALHEIGHT;
  RECT place = {0, 0, 300, 200};  // the list's rectangle in the top window
  bool unicode = false;
  int itemHeight = 0;  // set on the list before switch-on unless 0
  Reference reference = Reference::kContainer;
};

// A host with one list box in a top window, filled with "Item n" rows, skinned on demand. The
// destructor switches a live overlay off.
class HostScene {
 public:
  explicit HostScene(const SceneOptions& options = SceneOptions());
  ~HostScene();
  HostScene(const HostScene&) = delete;
  HostScene& operator=(const HostScene&) = delete;

  // Switches the overlay on over this scene's list and finds the panel and the mirror.
  void On();
  // Switches whatever overlay is on off.
  void Off();
  bool IsOn() const;

  LRESULT ToList(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;
  LRESULT ToMirror(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;
  // The outer size of the panel.
  SIZE PanelSize() const;
  int SelChanges() const { return top.CountFrom(list, LBN_SELCHANGE); }

  TopWindow top;
  HWND list = nullptr;
  std::unique_ptr<SkinSite> site;  // the README's layout, when the scene uses it
  HWND container = nullptr;  // the window the panel goes into
  HWND reference = nullptr;
  HWND panel = nullptr;
  HWND mirror = nullptr;
};

// One message a window received, with its parameters, and the text lParam pointed to for the
// list-box messages that carry one (when texts are captured).
struct SeenMessage {
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  std::string text;
  int depth;  // how many messages of the same window it arrived inside of
};

// A subclass of one window, as any third party would install it, that records every message.
// Taken out when destroyed if it is still on top; otherwise it stays a pass-through.
class MessageRecorder {
 public:
  explicit MessageRecorder(HWND hWnd, bool captureTexts = false);
  ~MessageRecorder();
  MessageRecorder(const MessageRecorder&) = delete;
  MessageRecorder& operator=(const MessageRecorder&) = delete;

  std::vector<SeenMessage> Of(UINT message) const;
  bool Saw(UINT message) const { return !Of(message).empty(); }
  // The recorded messages in [first, last], in order.
  std::vector<SeenMessage> InRange(UINT first, UINT last) const;

  std::vector<SeenMessage> seen;
  std::function<void(UINT)> onMessage;  // runs before the message is handed on

 private:
  static LRESULT CALLBACK Proc(HWND, UINT, WPARAM, LPARAM);
  HWND m_hWnd;
  bool m_captureTexts;
  int m_depth = 0;
};

// Writes a bitmap file whose pixel (u, v) is the colour RGB(u, v, blue), `bits` per pixel (24 or
// 32), bottom-up unless topDown; returns its path.
std::string WriteCoordinateBitmap(const std::string& name, int width, int height, int blue = 0x40,
                                  int bits = 24, bool topDown = false);
// A file in the test's scratch folder.
std::string ScratchPath(const std::string& name);

}  // namespace host
