// The demo's host application window: a list of a few hundred tabbed rows, buttons that drive
// kslHook.dll, and a status line that shows what the host's own list tells it.
#pragma once
#include <windows.h>

#include <commctrl.h>

#include <functional>
#include <string>

#include <kslHook.h>

namespace demo {

// No COLORREF has its top byte set: this one stands for "not chosen yet".
constexpr COLORREF kNotChosen = 0xFFFFFFFF;

// The folder of background pictures that comes with the demo, beside its program, with a
// trailing backslash.
std::string PicturesFolder();

class HostWindow {
 public:
  HostWindow(HINSTANCE hInstance, int x, int y);
  // Switches the skin off (the library's rule before a host's list goes away), then closes.
  ~HostWindow();
  HostWindow(const HostWindow&) = delete;
  HostWindow& operator=(const HostWindow&) = delete;

  HWND hWnd() const { return m_hWnd; }
  HWND list() const { return m_hList; }
  HWND skinButton() const { return m_hSkinButton; }
  HWND queue() const { return m_hQueue; }
  HWND queueButton() const { return m_hQueueButton; }
  bool skinned() const { return m_bSkinned; }
  HWND order() const { return m_hOrder; }
  HWND settingsButton() const { return m_hSettingsButton; }
  HWND settings() const { return m_hSettings; }

  // One call skins every list the host meets from now on, with one look: its combo box's list,
  // its settings dialog, the system's open dialog. The two lists the buttons skin stay its own.
  void SkinEveryList();

  // What the buttons do once the user has chosen. The look is remembered and given to the skin
  // each time it goes on.
  void SetSkin(bool on);
  // The second list, the queue of what plays next, gets a skin of its own through the handle API,
  // with a look of its own, beside the first list's.
  void SetQueueSkin(bool on);
  // The queue's skin gets a look in one call: a translucent selection and a hover look.
  void UseQueueLook();
  void UsePicture(const std::string& path);
  void UseBackgroundColour(COLORREF colour);
  void UseTextColour(COLORREF colour);
  // The host's second way of showing its rows: drawn by itself, each with a small picture of its
  // kind, the title and the time in columns. The list is made anew in that kind, skinned again
  // when the skin was on.
  void UseIconView();
  // The user makes the window width by height pixels of client area: the host lays it out anew.
  void Resize(int width, int height);

  // Called with every line the status line shows.
  std::function<void(const std::string&)> onStatus;
  // Called once the picture dialog (the system's open dialog) is up and running.
  std::function<void(HWND)> onPictureDialog;

 private:
  static LRESULT CALLBACK FrameProc(HWND, UINT, WPARAM, LPARAM);
  static INT_PTR CALLBACK SettingsProc(HWND, UINT, WPARAM, LPARAM);
  static UINT_PTR CALLBACK PictureDialogHook(HWND, UINT, WPARAM, LPARAM);
  void OpenSettings();
  void CreateControls(HINSTANCE hInstance);
  void CreateList(bool iconView);
  void DrawRow(const DRAWITEMSTRUCT& item) const;
  // Lays the list and the status line out in the window's client area.
  void Layout();
  void FillList();
  void FillQueue();
  void OnCommand(int id, int code, HWND hFrom);
  void OnListNotification(int code);
  void OnRightClick();
  // The list is a playlist the user reorders by dragging a row (a comctl32 drag list): the host
  // answers the drag list's notifications and moves the row where it is dropped.
  LRESULT OnDragList(const DRAGLISTINFO& drag);
  void MoveRow(int from, int to);
  void ApplyLook();
  void ChoosePicture();
  bool ChooseColour(COLORREF* colour);
  std::string SelectedRowText() const;
  void ShowStatus(const std::string& text);

  HWND m_hWnd = nullptr;
  HWND m_hList = nullptr;
  HWND m_hSkinButton = nullptr;
  HWND m_hStatus = nullptr;
  HWND m_hQueue = nullptr;
  HWND m_hQueueButton = nullptr;
  HWND m_hOrder = nullptr;           // the play order: a drop-down list
  HWND m_hSettingsButton = nullptr;
  HWND m_hSettings = nullptr;        // the settings dialog while it is open
  HKSLSKIN m_hQueueSkin = nullptr;   // the queue's skin while it is on
  bool m_bSkinned = false;
  bool m_bIconView = false;
  int m_dragFrom = -1;               // the row the user is dragging; -1 when none
  int m_movedTo = -1;                // the row the last drag put a row in, until another is selected
  std::string m_picture;             // the background picture, when it was chosen last
  COLORREF m_background = kNotChosen;  // the background colour, when it was chosen last
  // The library starts with the list's own black text; this host reads better in light letters on
  // the library's dark default picture.
  COLORREF m_text = RGB(0xF2, 0xEE, 0xE0);
  COLORREF m_customColours[16] = {};
};

}  // namespace demo
