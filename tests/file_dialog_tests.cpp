// A real system dialog driven by its own code: the old-style file-open dialog, skinned from its
// hook in the layout the README teaches, used with the mouse. The dialog finds its file list with
// GetDlgItem, so the list stays where the dialog made it.
#include <gtest/gtest.h>
#include <windows.h>

#include <commdlg.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "HostKit.h"
#include "Screenshot.h"

using namespace host;

namespace {

// The old-style dialog's controls.
constexpr int kFileList = 0x460;       // lst1
constexpr int kDirectoryList = 0x461;  // lst2
constexpr int kFilterCombo = 0x470;    // cmb1
constexpr int kFileNameEdit = 0x480;   // edt1

// A scratch folder with known files, and a folder inside it.
class ScratchFolder {
 public:
  ScratchFolder() : m_path(ScratchPath("filedlg")) {
    RemoveAll();
    ::CreateDirectoryA(m_path.c_str(), nullptr);
    ::CreateDirectoryA((m_path + "\\inner").c_str(), nullptr);
    for (const char* name : kFiles) {
      FILE* f = std::fopen((m_path + "\\" + name).c_str(), "wb");
      std::fputs(name, f);
      std::fclose(f);
    }
  }
  ~ScratchFolder() { RemoveAll(); }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  const std::string& path() const { return m_path; }

 private:
  static constexpr const char* kFiles[] = {"alpha.txt", "beta.txt", "delta.txt", "gamma.dat",
                                           "inner\\one.txt", "inner\\three.txt",
                                           "inner\\two.dat"};
  void RemoveAll() {
    for (const char* name : kFiles) ::DeleteFileA((m_path + "\\" + name).c_str());
    ::RemoveDirectoryA((m_path + "\\inner").c_str());
    ::RemoveDirectoryA(m_path.c_str());
  }
  std::string m_path;
};

// The process's current folder, put back when the owner goes: the dialog changes it as the user
// changes folders.
class CurrentFolderKeeper {
 public:
  CurrentFolderKeeper() { ::GetCurrentDirectoryA(MAX_PATH, m_path); }
  ~CurrentFolderKeeper() { ::SetCurrentDirectoryA(m_path); }
  CurrentFolderKeeper(const CurrentFolderKeeper&) = delete;
  CurrentFolderKeeper& operator=(const CurrentFolderKeeper&) = delete;

 private:
  char m_path[MAX_PATH] = {};
};

// What the dialog's hook set up, shared with the thread that plays the user.
struct DialogScene {
  std::atomic<HWND> dialog{nullptr};
  HWND fileList = nullptr;
  HWND mirror = nullptr;
  std::unique_ptr<SkinSite> site;
  bool skinned = false;
};

// The dialog's hook: on WM_INITDIALOG lays the skin's place over the file list and switches the
// skin on; switches it off again before the dialog's windows go.
UINT_PTR CALLBACK SkinningHook(HWND hDialog, UINT message, WPARAM, LPARAM lParam) {
  constexpr char kSceneProperty[] = "kslhook test scene";
  if (message == WM_INITDIALOG) {
    auto* scene =
        reinterpret_cast<DialogScene*>(reinterpret_cast<OPENFILENAMEA*>(lParam)->lCustData);
    ::SetPropA(hDialog, kSceneProperty, scene);
    scene->fileList = ::GetDlgItem(hDialog, kFileList);
    scene->site = std::make_unique<SkinSite>(scene->fileList);
    Lib().CreateHook(scene->site->reference(), scene->fileList);
    // The dialog's list draws black text; light letters read on the library's dark tile.
    Lib().SetFgColor(RGB(0xF2, 0xEE, 0xE0));
    scene->mirror = MirrorOf(FindPanel(scene->site->container()));
    scene->skinned = true;
    scene->dialog = hDialog;  // last: the user's thread starts when it sees the dialog
    return TRUE;
  }
  if (message == WM_DESTROY) {
    auto* scene = static_cast<DialogScene*>(::RemovePropA(hDialog, kSceneProperty));
    if (scene != nullptr && scene->skinned) {
      Lib().CreateHook(nullptr, nullptr);
      scene->skinned = false;
    }
  }
  return FALSE;
}

std::vector<std::string> TextsOf(HWND hList) {
  std::vector<std::string> texts;
  const int count = static_cast<int>(::SendMessageA(hList, LB_GETCOUNT, 0, 0));
  for (int i = 0; i < count; ++i) {
    char text[MAX_PATH] = {};
    if (::SendMessageA(hList, LB_GETTEXTLEN, i, 0) < MAX_PATH)
      ::SendMessageA(hList, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text));
    texts.push_back(text);
  }
  return texts;
}

// The rows of a list; the skin keeps none of its own and draws each of its rows from the file
// list (it answers no other thread's questions about their texts).
size_t RowsOf(HWND hList) {
  return static_cast<size_t>(std::max<LRESULT>(0, ::SendMessageA(hList, LB_GETCOUNT, 0, 0)));
}

std::string Joined(const std::vector<std::string>& texts) {
  std::string all;
  for (const std::string& t : texts) all += (all.empty() ? "" : ", ") + t;
  return "{" + all + "}";
}

std::string TextOf(HWND hWnd) {
  char text[MAX_PATH] = {};
  ::GetWindowTextA(hWnd, text, MAX_PATH);
  return text;
}

// Polls `done` every 20 ms for up to `seconds`; true as soon as it holds.
template <typename Predicate>
bool WaitFor(Predicate done, int seconds = 2) {
  for (int i = 0; i < seconds * 50; ++i) {
    if (done()) return true;
    ::Sleep(20);
  }
  return done();
}

// The user at the mouse, from a thread of its own: the dialog's modal loop takes the input.
class Mouse {
 public:
  // Moves to the screen point of row `row`'s middle in hList and clicks `times` times. A click
  // within the double-click time of the one before would be taken as its second half, so each
  // gesture waits that long first.
  void ClickRow(HWND hList, int row, int times = 1) {
    RECT item = {};
    ::SendMessageA(hList, LB_GETITEMRECT, static_cast<WPARAM>(row),
                   reinterpret_cast<LPARAM>(&item));
    POINT at = {item.left + 12, (item.top + item.bottom) / 2};
    ::ClientToScreen(hList, &at);
    ClickAt(at, times);
  }
  void ClickAt(POINT at, int times = 1) {
    const DWORD since = ::GetTickCount() - m_lastClick;
    const DWORD gap = ::GetDoubleClickTime() + 60;
    if (since < gap) ::Sleep(gap - since);
    ::SetCursorPos(at.x, at.y);
    for (int i = 0; i < times; ++i) {
      Send(MOUSEEVENTF_LEFTDOWN);
      Send(MOUSEEVENTF_LEFTUP);
    }
    m_lastClick = ::GetTickCount();
  }

 private:
  static void Send(DWORD flags) {
    INPUT input = {};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = flags;
    ::SendInput(1, &input, sizeof input);
  }
  DWORD m_lastClick = 0;
};

int RowOf(HWND hList, const std::string& text) {
  const std::vector<std::string> texts = TextsOf(hList);
  const auto found = std::find(texts.begin(), texts.end(), text);
  return found == texts.end() ? -1 : static_cast<int>(found - texts.begin());
}

// The window with the keyboard focus in the thread that owns hWnd.
HWND FocusIn(HWND hWnd) {
  GUITHREADINFO info = {};
  info.cbSize = sizeof info;
  ::GetGUIThreadInfo(::GetWindowThreadProcessId(hWnd, nullptr), &info);
  return info.hwndFocus;
}

void PressKey(WORD key) {
  INPUT input[2] = {};
  input[0].type = input[1].type = INPUT_KEYBOARD;
  input[0].ki.wVk = input[1].ki.wVk = key;
  input[1].ki.dwFlags = KEYEVENTF_KEYUP;
  ::SendInput(2, input, sizeof input[0]);
}

// Opens the old-style dialog in `folder`, filtering *.txt then *.dat, with the skin on its file
// list, and plays `user` on a thread of its own while the dialog's modal loop runs on this one.
// Returns GetOpenFileNameA's answer, the chosen path in *chosen. The dialog is closed whatever
// the user did; a dialog that never shows leaves the user unplayed and *opened false.
BOOL RunSkinnedDialog(const std::string& folder, const std::function<void(DialogScene&)>& user,
                      std::string* chosen, bool* opened) {
  CurrentFolderKeeper keepFolder;
  DialogScene scene;
  char fileName[MAX_PATH] = {};
  OPENFILENAMEA ofn = {};
  ofn.lStructSize = sizeof ofn;
  ofn.lpstrFilter = "Text files (*.txt)\0*.txt\0Data files (*.dat)\0*.dat\0";
  ofn.nFilterIndex = 1;
  ofn.lpstrFile = fileName;
  ofn.nMaxFile = MAX_PATH;
  ofn.lpstrInitialDir = folder.c_str();
  // No OFN_EXPLORER: the dialog of old, which finds its controls by id.
  ofn.Flags = OFN_ENABLEHOOK | OFN_HIDEREADONLY | OFN_FILEMUSTEXIST;
  ofn.lpfnHook = &SkinningHook;
  ofn.lCustData = reinterpret_cast<LPARAM>(&scene);

  *opened = false;
  std::thread player([&] {
    // The first dialog of a process takes a while to load its module and fonts.
    if (!WaitFor([&] { return scene.dialog != nullptr; }, 10)) return;
    *opened = true;
    user(scene);
    if (!WaitFor([&] { return !::IsWindow(scene.dialog); }))
      ::PostMessageA(scene.dialog, WM_COMMAND, IDCANCEL, 0);
  });
  const BOOL answer = ::GetOpenFileNameA(&ofn);
  player.join();
  if (scene.skinned) Lib().CreateHook(nullptr, nullptr);
  *chosen = fileName;
  if (!*opened) std::printf("the dialog did not show: CommDlgExtendedError %lx\n",
                            ::CommDlgExtendedError());
  return answer;
}

// The test's folder, where the screenshot goes: the dialog changes the current one.
std::string ArtifactPath(const std::string& name) {
  char here[MAX_PATH] = {};
  ::GetCurrentDirectoryA(MAX_PATH, here);
  ::CreateDirectoryA("artifacts", nullptr);
  return std::string(here) + "\\artifacts\\" + name;
}

}  // namespace

TEST(FileDialog, ClicksFolderChangesFiltersAndADoubleClickOpenWorkWithTheFileListSkinned) {
  const ScratchFolder folder;
  const std::string screenshot = ArtifactPath("file_dialog_skinned.png");
  bool listStaysInTheDialog = false;
  std::vector<std::string> firstFiles, innerFiles, dataFiles;
  size_t firstMirror = 0, innerMirror = 0, dataMirror = 0;
  std::string nameAfterClick;
  bool screenshotSaved = false;
  bool doubleClickedRowFound = false;

  std::string chosen;
  bool shown = false;
  const BOOL opened = RunSkinnedDialog(folder.path(), [&](DialogScene& scene) {
    const HWND dialog = scene.dialog;
    const HWND mirror = scene.mirror;
    const HWND files = scene.fileList;
    // The dialog shows itself once its own initialisation is done.
    WaitFor([&] { return ::IsWindowVisible(dialog) != FALSE; });
    listStaysInTheDialog = ::GetDlgItem(dialog, kFileList) == files &&
                           ::GetParent(files) == dialog && !UserMeets(files) &&
                           ::IsWindowVisible(mirror);
    Mouse mouse;

    // A file clicked on the skin: the dialog puts its name in the edit box.
    WaitFor([&] { return RowsOf(mirror) == RowsOf(files) && !TextsOf(files).empty(); });
    firstFiles = TextsOf(files);
    firstMirror = RowsOf(mirror);
    const HWND edit = ::GetDlgItem(dialog, kFileNameEdit);
    const int beta = RowOf(files, "beta.txt");
    if (beta >= 0) mouse.ClickRow(mirror, beta);
    WaitFor([&] { return TextOf(edit) == "beta.txt"; });
    nameAfterClick = TextOf(edit);
    screenshotSaved = SaveWindowPng(dialog, screenshot);

    // Into the inner folder: a double-click in the dialog's own directory list.
    const HWND folders = ::GetDlgItem(dialog, kDirectoryList);
    const int inner = RowOf(folders, "[inner]");
    if (inner >= 0) mouse.ClickRow(folders, inner, 2);
    WaitFor([&] { return RowOf(files, "one.txt") >= 0 && RowsOf(mirror) == RowsOf(files); });
    innerFiles = TextsOf(files);
    innerMirror = RowsOf(mirror);

    // The second filter, chosen in the dialog's drop-down list.
    const HWND filters = ::GetDlgItem(dialog, kFilterCombo);
    RECT combo = {};
    ::GetWindowRect(filters, &combo);
    mouse.ClickAt({combo.left + 10, (combo.top + combo.bottom) / 2});
    COMBOBOXINFO info = {};
    info.cbSize = sizeof info;
    const bool dropped = WaitFor(
        [&] { return ::GetComboBoxInfo(filters, &info) && ::IsWindowVisible(info.hwndList); });
    if (dropped) mouse.ClickRow(info.hwndList, 1);
    WaitFor([&] { return RowOf(files, "two.dat") >= 0 && RowsOf(mirror) == RowsOf(files); });
    dataFiles = TextsOf(files);
    dataMirror = RowsOf(mirror);

    // A file double-clicked on the skin opens it.
    const int two = RowOf(files, "two.dat");
    doubleClickedRowFound = two >= 0;
    if (two >= 0) mouse.ClickRow(mirror, two, 2);
  }, &chosen, &shown);

  ASSERT_TRUE(shown);
  EXPECT_TRUE(listStaysInTheDialog) << "GetDlgItem finds the file list, the skin where the user meets it";
  EXPECT_EQ(Joined(firstFiles), "{alpha.txt, beta.txt, delta.txt}");
  EXPECT_EQ(firstMirror, firstFiles.size()) << "the skin has the file list's rows";
  EXPECT_EQ(nameAfterClick, "beta.txt") << "a click on the skin picks the file";
  EXPECT_TRUE(screenshotSaved) << screenshot;
  EXPECT_EQ(Joined(innerFiles), "{one.txt, three.txt}") << "the dialog changed folders";
  EXPECT_EQ(innerMirror, innerFiles.size()) << "the skin follows the folder";
  EXPECT_EQ(Joined(dataFiles), "{two.dat}") << "the dialog changed filters";
  EXPECT_EQ(dataMirror, dataFiles.size()) << "the skin follows the filter";
  EXPECT_TRUE(doubleClickedRowFound);
  EXPECT_TRUE(opened) << "a double-click on the skin opens the file";
  EXPECT_STRCASEEQ(chosen.c_str(), (folder.path() + "\\inner\\two.dat").c_str());
}

// Keyboard users reach the skinned file list with Tab from the file name, as they reached the list.
TEST(FileDialog, TabFromTheFileNameMovesTheFocusToTheSkinnedFileList) {
  const ScratchFolder folder;
  HWND mirror = nullptr, focusBefore = nullptr, focusAfter = nullptr, edit = nullptr;
  char focusClass[64] = "";
  int focusId = 0;
  std::string chosen;
  bool shown = false;
  RunSkinnedDialog(folder.path(), [&](DialogScene& scene) {
    mirror = scene.mirror;
    edit = ::GetDlgItem(scene.dialog, kFileNameEdit);
    // The dialog puts the focus on the file name itself; a click there could land on the skin
    // while the pointer is still on its way from the test before.
    ::PostMessageA(scene.dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(edit), TRUE);
    WaitFor([&] { return FocusIn(edit) == edit; });
    focusBefore = FocusIn(edit);
    PressKey(VK_TAB);
    WaitFor([&] { return FocusIn(edit) != focusBefore; });
    focusAfter = FocusIn(edit);
    ::GetClassNameA(focusAfter, focusClass, sizeof focusClass);
    focusId = ::GetDlgCtrlID(focusAfter);
    ::PostMessageA(scene.dialog, WM_COMMAND, IDCANCEL, 0);
  }, &chosen, &shown);

  ASSERT_TRUE(shown);
  EXPECT_EQ(focusBefore, edit);
  EXPECT_EQ(focusAfter, mirror) << "the focus went to a " << focusClass << " with id " << focusId;
}

namespace {

// The list boxes a user meets in a dialog, its combo boxes' lists included, and how many carry a
// skin: "skinned N of M".
BOOL CALLBACK CollectList(HWND hWnd, LPARAM found) {
  char name[16] = "";
  ::GetClassNameA(hWnd, name, sizeof name);
  COMBOBOXINFO combo = {};
  combo.cbSize = sizeof combo;
  auto* into = reinterpret_cast<std::vector<HWND>*>(found);
  if (::lstrcmpiA(name, "ListBox") == 0 && ::GetParent(hWnd) == ::GetAncestor(hWnd, GA_ROOT))
    into->push_back(hWnd);
  if (::lstrcmpiA(name, "ComboBox") == 0 && ::GetComboBoxInfo(hWnd, &combo))
    into->push_back(combo.hwndList);
  return TRUE;
}

std::string SkinnedLists(HWND hDialog) {
  std::vector<HWND> lists;
  ::EnumChildWindows(hDialog, &CollectList, reinterpret_cast<LPARAM>(&lists));
  const auto skinned = std::count_if(lists.begin(), lists.end(),
                                     [](HWND h) { return Lib().SkinOf(h) != nullptr; });
  return "skinned " + std::to_string(skinned) + " of " + std::to_string(lists.size());
}

// A dialog's procedure, or a system dialog's hook: once the dialog's modal loop runs, it calls
// g_inLoop with the dialog and what SkinnedLists saw as WM_INITDIALOG ended.
std::function<void(HWND, const std::string&)> g_inLoop;
std::string g_initialised;

UINT_PTR CALLBACK InLoopHook(HWND hDialog, UINT message, WPARAM wParam, LPARAM) {
  if (message == WM_INITDIALOG && ::SetTimer(hDialog, 77, 1, nullptr))
    g_initialised = SkinnedLists(hDialog);
  if (message == WM_TIMER && wParam == 77 && ::KillTimer(hDialog, 77))
    g_inLoop(hDialog, g_initialised);
  return 0;
}

// The test program's settings dialog: lists and a combo box of each style, filled as it starts.
bool g_detachAtPanel = false;  // the host ends the auto-attach as a skin's panel is made

INT_PTR CALLBACK SettingsProc(HWND hDialog, UINT message, WPARAM wParam, LPARAM lParam) {
  char made[16] = "";
  if (message == WM_PARENTNOTIFY && LOWORD(wParam) == WM_CREATE && g_detachAtPanel &&
      ::GetClassNameA(reinterpret_cast<HWND>(lParam), made, sizeof made) &&
      ::lstrcmpA(made, "#32770") == 0)
    Lib().SkinAutoDetach();
  if (message == WM_INITDIALOG) {
    for (int id : {201, 202}) AddItems(::GetDlgItem(hDialog, id), 5);
    for (int id : {203, 204, 205})
      for (const char* t : {"one", "two", "three"})
        ::SendDlgItemMessageA(hDialog, id, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(t));
  }
  InLoopHook(hDialog, message, wParam, lParam);
  return FALSE;
}

// The settings dialog's lists as it was initialised, then in its loop, where `inside` may act.
std::string RunSettingsDialog(const std::function<std::string(HWND)>& inside) {
  std::string seen;
  g_inLoop = [&](HWND hDialog, const std::string& initialised) {
    seen = initialised + ", then " + SkinnedLists(hDialog);
    seen += inside(hDialog);
    ::EndDialog(hDialog, 0);
  };
  ::DialogBoxParamA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(200), nullptr, &SettingsProc, 0);
  return seen;
}

}  // namespace

// One call skins every list the thread has and makes, each once its dialog has set it up; a list
// detached by hand stays the host's; the end of the auto-attach gives back only what it skinned.
TEST(AutoAttach, SkinsEveryListOfTheThreadAndGivesBackOnlyItsOwn) {
  TopWindow top;
  const HWND before = MakeChild(top.hWnd(), 1, WS_CHILD | LBS_NOTIFY, 10, 10, 100, 80);
  const HWND byHand = MakeChild(top.hWnd(), 2, WS_CHILD | WS_VISIBLE, 120, 10, 100, 80);
  const Library::Skin handSkin = Lib().SkinAttach(byHand);
  KSLLOOK look = LookOf(KSLLOOK_BKCOLOR | KSLLOOK_FOCUS);
  look.crBk = RGB(0x20, 0x40, 0x60);
  look.nFocusStyle = 7;
  EXPECT_FALSE(Lib().SkinAutoAttach(&look) || ::GetLastError() != ERROR_INVALID_PARAMETER);
  look.nFocusStyle = KSLFOCUS_SOLID;
  KSLLOOK missing = LookOf(KSLLOOK_BKIMAGE);
  missing.pszBkImage = L"no such picture.bmp";
  EXPECT_FALSE(Lib().SkinAutoAttach(&missing) || ::GetLastError() != ERROR_FILE_NOT_FOUND);
  ASSERT_TRUE(Lib().SkinAutoAttach(&look));
  EXPECT_NE(Lib().SkinOf(before), nullptr) << "a hidden list the thread had";
  EXPECT_EQ(Lib().SkinOf(byHand), handSkin) << "a list with a skin keeps it";
  const HWND later = MakeChild(top.hWnd(), 3, WS_CHILD | WS_VISIBLE, 230, 10, 100, 80);
  MSG thrownAway;  // a host loop that throws posted messages away
  while (::PeekMessageA(&thrownAway, nullptr, 0, 0, PM_REMOVE | PM_QS_POSTMESSAGE)) {}
  for (int waited = 0; waited < 1000 && Lib().SkinOf(later) == nullptr; waited += 50) {
    ::Sleep(50);
    Pump();
  }
  KSLLOOK read = LookOf(KSLLOOK_BKCOLOR);
  EXPECT_TRUE(Lib().SkinGetLook(Lib().SkinOf(later), &read) && read.crBk == look.crBk)
      << "a list made in a live window, with the look";
  EXPECT_EQ(RunSettingsDialog([](HWND) { return ""; }), "skinned 0 of 5, then skinned 5 of 5");

  Lib().SkinDetach(Lib().SkinOf(later));
  look.crBk = RGB(0x60, 0x40, 0x20);
  ASSERT_TRUE(Lib().SkinAutoAttach(&look)) << "a second call changes the look";
  EXPECT_TRUE(Lib().SkinGetLook(Lib().SkinOf(before), &read) && read.crBk == look.crBk);
  EXPECT_EQ(RunSettingsDialog([](HWND hDialog) {
    const std::string detached = Lib().SkinAutoDetach() ? ", detached: " : ", refused: ";
    return detached + SkinnedLists(hDialog);
  }), "skinned 0 of 5, then skinned 5 of 5, detached: skinned 0 of 5");
  ASSERT_TRUE(Lib().SkinAutoAttach(&look));
  g_detachAtPanel = true;
  EXPECT_EQ(RunSettingsDialog([](HWND) { return ""; }), "skinned 0 of 5, then skinned 0 of 5");
  g_detachAtPanel = false;
  Pump();
  EXPECT_EQ(Lib().SkinOf(later), nullptr) << "detached by hand, it stays the host's";
  EXPECT_EQ(Lib().SkinOf(before), nullptr);
  EXPECT_EQ(Lib().SkinOf(byHand), handSkin) << "a skin attached by hand stays";
  EXPECT_FALSE(Lib().SkinAutoDetach() || ::GetLastError() != ERROR_NOT_FOUND);
  Lib().SkinDetach(handSkin);
}

namespace {

// A system dialog hooked by InLoopHook, opened by `open` with the auto-attach on or off; the user
// plays `user` once its loop runs. Its lists as they were then go to *lists.
std::string RunSystemDialog(bool skinned, const std::function<BOOL()>& open,
                            const std::function<void(HWND, Mouse&)>& user, std::string* lists) {
  if (skinned) Lib().SkinAutoAttach(nullptr);
  std::atomic<HWND> shown{nullptr};
  g_inLoop = [&](HWND hDialog, const std::string&) {
    *lists += SkinnedLists(hDialog) + "; ";
    shown = hDialog;
  };
  std::thread player([&] {
    Mouse mouse;
    if (WaitFor([&] { return shown != nullptr; }, 10)) user(shown, mouse);
  });
  const BOOL chosen = open();
  player.join();
  if (skinned) Lib().SkinAutoDetach();
  return chosen ? "chosen " : "cancelled ";
}

// Drops the combo box `id` of hDialog with a click and clicks row `row` of its list.
void PickFromCombo(HWND hDialog, int id, int row, Mouse& mouse) {
  RECT combo = {};
  ::GetWindowRect(::GetDlgItem(hDialog, id), &combo);
  mouse.ClickAt({combo.left + 10, (combo.top + combo.bottom) / 2});
  COMBOBOXINFO info = {};
  info.cbSize = sizeof info;
  if (WaitFor([&] { return ::GetComboBoxInfo(::GetDlgItem(hDialog, id), &info) &&
                           ::IsWindowVisible(info.hwndList); }))
    mouse.ClickRow(info.hwndList, row);
}

}  // namespace

// The old open dialog and the font dialog, every list of theirs skinned by the one call, choose
// what they choose unskinned under the same clicks (their combo boxes' lists dropped and picked).
TEST(AutoAttach, TheSystemsOpenAndFontDialogsChooseAsUnskinned) {
  const ScratchFolder folder;
  CurrentFolderKeeper keepFolder;
  std::string lists[2], chosen[2];
  for (int skinned : {0, 1}) {
    char file[MAX_PATH] = "";
    OPENFILENAMEA ofn = {};
    ofn.lStructSize = sizeof ofn;
    ofn.lpstrFilter = "Text files (*.txt)\0*.txt\0Data files (*.dat)\0*.dat\0";
    ofn.lpstrFile = file;
    ofn.nMaxFile = MAX_PATH;
    ofn.lpstrInitialDir = folder.path().c_str();
    ofn.Flags = OFN_ENABLEHOOK | OFN_HIDEREADONLY | OFN_FILEMUSTEXIST;
    ofn.lpfnHook = &InLoopHook;
    chosen[skinned] = RunSystemDialog(skinned, [&] { return ::GetOpenFileNameA(&ofn); },
                                      [](HWND hDialog, Mouse& mouse) {
      PickFromCombo(hDialog, kFilterCombo, 1, mouse);
      const HWND files = ::GetDlgItem(hDialog, kFileList);
      if (WaitFor([&] { return RowOf(files, "gamma.dat") == 0; })) mouse.ClickRow(files, 0, 2);
    }, &lists[skinned]);
    chosen[skinned] += std::string(file).substr(std::string(file).rfind('\\') + 1) + "; ";
    LOGFONTA font = {};
    CHOOSEFONTA cf = {};
    cf.lStructSize = sizeof cf;
    cf.lpLogFont = &font;
    cf.Flags = CF_SCREENFONTS | CF_EFFECTS | CF_ENABLEHOOK;
    cf.lpfnHook = &InLoopHook;
    chosen[skinned] += RunSystemDialog(skinned, [&] { return ::ChooseFontA(&cf); },
                                       [](HWND hDialog, Mouse& mouse) {
      for (int id : {0x470, 0x472}) {  // the font's name and size: lists always shown
        COMBOBOXINFO info = {};
        info.cbSize = sizeof info;
        ::GetComboBoxInfo(::GetDlgItem(hDialog, id), &info);
        mouse.ClickRow(info.hwndList, 1);
      }
      PickFromCombo(hDialog, 0x473, 2, mouse);  // the colour
      ::Sleep(100);
      PressKey(VK_RETURN);
    }, &lists[skinned]);
    chosen[skinned] += font.lfFaceName + (" " + std::to_string(cf.iPointSize)) + " " +
                       std::to_string(cf.rgbColors);
  }
  EXPECT_EQ(chosen[1], chosen[0]) << "skinned, unskinned: " << chosen[0];
  EXPECT_EQ(chosen[0].substr(0, 16), "chosen gamma.dat");
  EXPECT_EQ(lists[0], "skinned 0 of 4; skinned 0 of 5; ");
  EXPECT_EQ(lists[1], "skinned 4 of 4; skinned 5 of 5; ");
}
