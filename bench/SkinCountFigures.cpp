// Figures of many skins at once: what one more skin costs a host, and what a message to one list
// costs when hundreds of other lists are skinned too.
#include <string>
#include <vector>

#include "bench/Figures.h"
#include "bench/Measure.h"
#include "bench/Scenes.h"
#include "tests/GdiCounter.h"

namespace bench {

namespace {

constexpr double kUs = 1e6;
constexpr int kLists = 300;

struct Crowd {
  host::TopWindow top{0, 0, 1000, 760};
  std::vector<HWND> lists;
  std::vector<host::Library::Skin> skins;

  Crowd() {
    for (int i = 0; i < kLists; ++i) {
      lists.push_back(host::MakeChild(top.hWnd(), 100 + i,
                                      host::kPlainListStyle | LBS_NOINTEGRALHEIGHT,
                                      (i % 20) * 50, (i / 20) * 50, 48, 48));
      AddRows(lists.back(), 10);
    }
    skins.assign(kLists, nullptr);
  }
  ~Crowd() { SkinFrom(0, false); }
  // Skins (or gives back) lists first..kLists-1.
  void SkinFrom(int first, bool on) {
    for (int i = first; i < kLists; ++i) {
      if (on && skins[i] == nullptr) skins[i] = host::Lib().SkinAttach(lists[i]);
      if (!on && skins[i] != nullptr && host::Lib().SkinDetach(skins[i])) skins[i] = nullptr;
    }
    CatchUp(top.hWnd());
  }
};

// Seconds per message over `count` sends of WM_GETFONT, which the skin hands on unrepeated.
double SendLoop(HWND hList, int count) {
  const double t0 = Now();
  for (int i = 0; i < count; ++i) ::SendMessageA(hList, WM_GETFONT, 0, 0);
  return (Now() - t0) / count;
}

Figure MessageAmongSkins(Crowd& crowd) {
  constexpr int kReps = 9;
  constexpr int kCount = 20000;
  Progress("a message to one list among 300 skins");
  crowd.SkinFrom(0, true);
  Require(crowd.skins[0] != nullptr && crowd.skins[kLists - 1] != nullptr,
          "300 skins: a list was not skinned");
  // The first list keeps its skin throughout; the other 299 go on and off between the blocks.
  std::vector<double> many, one, ratios;
  for (int rep = 0; rep < kReps; ++rep) {
    crowd.SkinFrom(1, true);
    many.push_back(SendLoop(crowd.lists[0], kCount));
    crowd.SkinFrom(1, false);
    one.push_back(SendLoop(crowd.lists[0], kCount));
    ratios.push_back(many.back() / one.back());
  }
  Figure figure;
  figure.name = "message_300_skins";
  figure.title = "a message to one list, 300 skins on, vs 1 skin on";
  figure.unit = "us";
  figure.hooked = Median(many) * kUs;
  figure.anchor = Median(one) * kUs;
  figure.ratio = Median(ratios);
  figure.target = 1.2;
  figure.reps = kReps;
  figure.details = {{"messages_per_rep", kCount}};
  return figure;
}

Figure MemoryOfASkin(Crowd& crowd) {
  Progress("memory of a skin against its list");
  crowd.SkinFrom(0, false);
  // The lists themselves: the same number made again, beside the crowd, and then skinned.
  const double heapBefore = HeapBytesInUse();
  const double committedBefore = CommittedBytes();
  Crowd more;
  const double listHeap = (HeapBytesInUse() - heapBefore) / kLists;
  const double listCommitted = (CommittedBytes() - committedBefore) / kLists;
  const double heapOn = HeapBytesInUse();
  const double committedOn = CommittedBytes();
  more.SkinFrom(0, true);
  Require(more.skins[kLists - 1] != nullptr, "memory of a skin: a list was not skinned");
  Figure figure;
  figure.name = "memory_per_skin";
  figure.title = "memory of a skin, vs the plain list it covers (10 rows)";
  figure.unit = "KB";
  figure.hooked = (HeapBytesInUse() - heapOn) / kLists / 1024;
  figure.anchor = listHeap / 1024;
  figure.ratio = figure.hooked / figure.anchor;
  figure.reps = kLists;
  figure.details = {{"hooked_committed_kb", (CommittedBytes() - committedOn) / kLists / 1024},
                    {"anchor_committed_kb", listCommitted / 1024}};
  return figure;
}

// What 100 skins cost with one look (the same picture file, a translucent selection and a hover
// look) and with a look each (100 picture files): the GDI objects the library holds and the memory
// (heap and committed) the process takes, per skin.
struct LookCost {
  double gdiPerSkin = 0;
  double kbPerSkin = 0;
};

LookCost CostOfLooks(Crowd& crowd, bool oneLook) {
  constexpr int kSkins = 100;
  std::vector<std::wstring> pictures;
  for (int i = 0; i < kSkins; ++i) {
    const std::string path = host::WriteCoordinateBitmap(
        "bench_look_" + std::to_string(oneLook ? 0 : i) + ".bmp", 128, 128, oneLook ? 0 : i);
    pictures.emplace_back(path.begin(), path.end());
  }
  crowd.SkinFrom(0, false);
  host::GdiCount& gdi = host::CountLibraryGdi(host::Lib().hModule);
  const long gdiBefore = gdi.created - gdi.deleted;
  const double memoryBefore = HeapBytesInUse() + CommittedBytes();
  for (int i = 0; i < kSkins; ++i) {
    crowd.skins[i] = host::Lib().SkinAttach(crowd.lists[i]);
    KSLLOOK look = host::LookOf(KSLLOOK_BKIMAGE | KSLLOOK_SELECTION | KSLLOOK_HOT);
    look.pszBkImage = pictures[i].c_str();
    look.crSelBk = RGB(0, 90, 200), look.bSelAlpha = 128, look.crSelText = KSLCLR_DEFAULT;
    look.crHotBk = RGB(250, 200, 0), look.bHotAlpha = 96, look.crHotText = KSLCLR_DEFAULT;
    Require(crowd.skins[i] != nullptr && host::Lib().SkinSetLook(crowd.skins[i], &look),
            "looks of 100 skins: a skin or its look was refused");
  }
  CatchUp(crowd.top.hWnd());
  LookCost cost;
  cost.gdiPerSkin = static_cast<double>(gdi.created - gdi.deleted - gdiBefore) / kSkins;
  cost.kbPerSkin = (HeapBytesInUse() + CommittedBytes() - memoryBefore) / kSkins / 1024;
  crowd.SkinFrom(0, false);
  return cost;
}

std::vector<Figure> LookFigures(Crowd& crowd) {
  Progress("100 skins with one look, and with a look each");
  const LookCost one = CostOfLooks(crowd, true);
  const LookCost many = CostOfLooks(crowd, false);
  Figure gdi;
  gdi.name = "gdi_per_skin_one_look";
  gdi.title = "GDI objects per skin, 100 skins with one look, vs the goal of 3";
  gdi.hooked = one.gdiPerSkin;
  gdi.anchor = 3;
  gdi.ratio = gdi.hooked / gdi.anchor;
  gdi.target = 1;
  gdi.reps = 1;
  gdi.details = {{"gdi_per_skin_a_look_each", many.gdiPerSkin}};
  Figure memory;
  memory.name = "memory_per_skin_one_look";
  memory.title = "memory per skin, 100 skins with one look, vs with a look each";
  memory.unit = "KB";
  memory.hooked = one.kbPerSkin;
  memory.anchor = many.kbPerSkin;
  memory.ratio = memory.hooked / memory.anchor;
  memory.reps = 1;
  return {gdi, memory};
}

// A dialog of eight lists and four combo boxes (simple, drop-down, two drop-down lists), made and
// filled while it initialises, as hosts make their settings dialogs.
INT_PTR CALLBACK SettingsDialogProc(HWND hDialog, UINT message, WPARAM, LPARAM) {
  if (message != WM_INITDIALOG) return FALSE;
  const auto make = [hDialog](const char* kind, DWORD style, int id, int x, int y, int height) {
    return ::CreateWindowExA(WS_EX_CLIENTEDGE, kind, "", WS_CHILD | WS_VISIBLE | WS_VSCROLL | style,
                             x, y, 100, height, hDialog, reinterpret_cast<HMENU>(id), nullptr,
                             nullptr);
  };
  for (int i = 0; i < 8; ++i)
    AddRows(make("LISTBOX", LBS_NOTIFY, 100 + i, 10 + i % 4 * 110, 10 + i / 4 * 110, 100), 20);
  const DWORD combos[] = {CBS_SIMPLE, CBS_DROPDOWN, CBS_DROPDOWNLIST, CBS_DROPDOWNLIST};
  for (int i = 0; i < 4; ++i) {
    const HWND combo = make("COMBOBOX", combos[i], 200 + i, 10 + i * 110, 230, i == 0 ? 100 : 200);
    for (const char* row : {"one", "two", "three", "four", "five", "six"})
      ::SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(row));
  }
  return TRUE;
}

Figure DialogOpenFigure() {
  Progress("opening a dialog of 8 lists and 4 combo boxes, auto-skinned");
  struct alignas(4) {
    DLGTEMPLATE dialog;
    WORD menu, windowClass, title;
  } templ = {};
  templ.dialog.style = WS_POPUP | WS_CAPTION | WS_VISIBLE | DS_MODALFRAME;
  templ.dialog.cx = 300;
  templ.dialog.cy = 220;
  const auto open = [&templ](bool skinned) {
    if (skinned) Require(host::Lib().SkinAutoAttach(nullptr) != FALSE, "auto-attach refused");
    Phases phases;
    const double t0 = Now();
    const HWND hDialog = ::CreateDialogIndirectParamA(::GetModuleHandleA(nullptr), &templ.dialog,
                                                      nullptr, &SettingsDialogProc, 0);
    const double t1 = Now();
    CatchUp(hDialog);
    phases.calls = t1 - t0;
    phases.catchUp = Now() - t1;
    Require(!skinned || host::Lib().SkinOf(::GetDlgItem(hDialog, 107)) != nullptr,
            "dialog open: a list was not skinned");
    ::DestroyWindow(hDialog);
    if (skinned) host::Lib().SkinAutoDetach();
    host::Pump();
    return phases;
  };
  constexpr int kReps = 15;
  const Paired paired = Interleave(kReps, [&] { return open(true); }, [&] { return open(false); });
  Figure figure;
  figure.name = "dialog_open";
  figure.title = "opening a dialog of 8 lists, 4 combo boxes, auto-skinned, vs unskinned";
  figure.unit = "ms";
  SetTotals(figure, paired, 1e3);
  // The dialog's creation (the host's WM_INITDIALOG included), then the loop's turn that skins
  // its lists and the first paint.
  figure.details = {{"hooked_create_ms", paired.hooked.MedianCalls() * 1e3},
                    {"anchor_create_ms", paired.anchor.MedianCalls() * 1e3}};
  figure.target = 1.3;
  figure.reps = kReps;
  return figure;
}

}  // namespace

std::vector<Figure> SkinCountFigures() {
  std::vector<Figure> figures = {DialogOpenFigure()};
  Crowd crowd;
  CatchUp(crowd.top.hWnd());
  figures.push_back(MessageAmongSkins(crowd));
  figures.push_back(MemoryOfASkin(crowd));
  for (const Figure& figure : LookFigures(crowd)) figures.push_back(figure);
  return figures;
}

}  // namespace bench
