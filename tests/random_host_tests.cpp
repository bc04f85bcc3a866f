// A seeded random host: host operations on its list mixed with the user's clicks, keys and wheel on
// the skin, over lists of every selection mode, sorted or not, owner-drawn or not, made and filled
// by an ANSI or a Unicode host with texts beyond ASCII, with or without a subclass of the host's (in
// either character set, behind or in front of the skin) and a message hook. After every step the
// skin must show what the host's list holds, to readers of both character sets. A failing seed is reported with the step and a
// shortened sequence that still fails, replayed in a fresh host.
//
// CI runs a fixed set of seeds. For longer runs by hand:
//   KSL_RANDOM_SEEDS=1-200   seeds to play: a range, or a list "3,17,40"
//   KSL_RANDOM_STEPS=60      steps per seed
//   KSL_RANDOM_SHRINK_SECONDS=30   time allowed for shortening a failing sequence
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "HostKit.h"
#include "UserInput.h"

using namespace host;

namespace {

// ---- The host's kinds of list --------------------------------------------------------------------

enum class Mode { kSingle, kExtended, kMultiple };

// A subclass the host puts on its list, installed with the A or W functions, before the skin goes
// on (behind it) or after (in front of it).
enum class HostSubclass { kNone, kAnsiBehind, kWideBehind, kAnsiInFront, kWideInFront };

struct Kind {
  Mode mode;
  bool sorted;
  bool ownerDrawn;
  int rows;  // the host's rows before the first step
  bool unicode;  // the host makes, fills and asks its list with the W functions
  HostSubclass subclass;
  bool hook;  // the host watches its thread's messages with a hook of its own character set
};

// Every twelve seeds in a row cover every list kind; the host's character set, subclass and hook
// vary independently of them.
Kind KindOf(unsigned seed) {
  const unsigned k = seed % 12;
  const unsigned h = (seed * 2654435761u) >> 16;
  return {static_cast<Mode>(k % 3), (k / 3) % 2 == 1, k >= 6, 12 + static_cast<int>(seed % 29),
          h % 2 == 1, static_cast<HostSubclass>((h / 2) % 5), (h / 10) % 2 == 1};
}

std::string Describe(const Kind& kind) {
  std::string text = kind.mode == Mode::kSingle     ? "single"
                     : kind.mode == Mode::kExtended ? "extended"
                                                    : "multiple";
  text += kind.sorted ? ", sorted" : ", unsorted";
  if (kind.ownerDrawn) text += ", owner-drawn";
  text += kind.unicode ? ", Unicode host" : ", ANSI host";
  const char* const subclasses[] = {"", ", ANSI subclass behind", ", Unicode subclass behind",
                                    ", ANSI subclass in front", ", Unicode subclass in front"};
  text += subclasses[static_cast<int>(kind.subclass)];
  if (kind.hook) text += ", message hook";
  return text + ", " + std::to_string(kind.rows) + " rows";
}

DWORD StyleOf(const Kind& kind) {
  DWORD style = kPlainListStyle | LBS_NOINTEGRALHEIGHT;
  if (kind.mode == Mode::kExtended) style |= LBS_EXTENDEDSEL;
  if (kind.mode == Mode::kMultiple) style |= LBS_MULTIPLESEL;
  if (kind.sorted) style |= LBS_SORT;
  if (kind.ownerDrawn) style |= LBS_OWNERDRAWFIXED | LBS_HASSTRINGS;
  return style;
}

// ---- Steps ---------------------------------------------------------------------------------------

enum class Action {
  // the host
  kAdd, kInsert, kDelete, kReset, kSetCurSel, kSetSel, kSelItemRange, kSelItemRangeEx, kSetCaret,
  kSetAnchor, kSetTop,
  // the user, on the skin
  kClick, kKey, kWheel,
};

// A step's numbers are resolved against the list as it is when the step is played, so a step means
// something in any sequence it is left in when a failing sequence is shortened.
struct Step {
  Action action;
  unsigned a;
  unsigned b;
};

struct Weighted {
  Action action;
  int weight;
};
constexpr Weighted kMix[] = {
    {Action::kAdd, 4},       {Action::kInsert, 3},       {Action::kDelete, 3},
    {Action::kReset, 1},     {Action::kSetCurSel, 2},    {Action::kSetSel, 3},
    {Action::kSelItemRange, 2}, {Action::kSelItemRangeEx, 2}, {Action::kSetCaret, 2},
    {Action::kSetAnchor, 2}, {Action::kSetTop, 2},       {Action::kClick, 10},
    {Action::kKey, 10},      {Action::kWheel, 3},
};

std::vector<Step> StepsFor(unsigned seed, int count) {
  std::mt19937 random(seed);
  int total = 0;
  for (const Weighted& w : kMix) total += w.weight;
  std::vector<Step> steps;
  for (int i = 0; i < count; ++i) {
    int pick = static_cast<int>(random() % static_cast<unsigned>(total));
    Action action = kMix[0].action;
    for (const Weighted& w : kMix) {
      if (pick < w.weight) {
        action = w.action;
        break;
      }
      pick -= w.weight;
    }
    steps.push_back({action, static_cast<unsigned>(random() % 10007), static_cast<unsigned>(random() % 997)});
  }
  return steps;
}

// Half of them beyond ASCII; an ANSI host writes them in its code page.
const wchar_t* const kWords[] = {L"apple", L"b\u00E6r",  L"cherry", L"cr\u00E8me", L"elder",
                                 L"f\u00EFg", L"grape", L"\u00C6sir", L"iris", L"\u65E5\u672C",
                                 L"kiwi",  L"\u00DCber"};

std::wstring TextFor(unsigned n) {
  return std::wstring(kWords[n % 12]) + L" " + std::to_wstring(n % 100);
}

std::string Narrow(const std::wstring& text) {
  std::string narrow(text.size() * 2 + 1, '\0');
  const int n = ::WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, &narrow[0],
                                      static_cast<int>(narrow.size()), nullptr, nullptr);
  narrow.resize(n > 0 ? static_cast<size_t>(n) - 1 : 0);
  return narrow;
}

// The host's own subclass and hook pass everything on; the hook looks at each text it sees go by,
// as a host's spy or logger would.
WNDPROC g_hostNext = nullptr;
LRESULT CALLBACK HostSubclassA(HWND h, UINT m, WPARAM w, LPARAM l) {
  return ::CallWindowProcA(g_hostNext, h, m, w, l);
}
LRESULT CALLBACK HostSubclassW(HWND h, UINT m, WPARAM w, LPARAM l) {
  return ::CallWindowProcW(g_hostNext, h, m, w, l);
}
size_t g_hookSaw = 0;
template <bool kWide>
LRESULT CALLBACK HostHook(int code, WPARAM w, LPARAM l) {
  const auto* sent = reinterpret_cast<const CWPSTRUCT*>(l);
  if (code == HC_ACTION && (sent->message == LB_ADDSTRING || sent->message == LB_INSERTSTRING) &&
      sent->lParam != 0 && (::GetWindowLongA(sent->hwnd, GWL_STYLE) & LBS_HASSTRINGS))
    g_hookSaw += kWide ? std::wcslen(reinterpret_cast<const wchar_t*>(sent->lParam))
                       : std::strlen(reinterpret_cast<const char*>(sent->lParam));
  return ::CallNextHookEx(nullptr, code, w, l);
}

struct KeyChoice {
  WORD vk;
  const char* name;
};
constexpr KeyChoice kKeys[] = {
    {VK_UP, "Up"},       {VK_DOWN, "Down"}, {VK_HOME, "Home"}, {VK_END, "End"},
    {VK_PRIOR, "PageUp"}, {VK_NEXT, "PageDown"}, {VK_SPACE, "Space"}, {'C', "c"},
    {'G', "g"},          {'K', "k"},         {VK_DOWN, "Down"}, {VK_UP, "Up"},
};

std::string ModifierNames(unsigned mods) {
  std::string text;
  if (mods & user::kCtrl) text += "+Ctrl";
  if (mods & user::kShift) text += "+Shift";
  return text;
}

// ---- Playing -------------------------------------------------------------------------------------

struct Played {
  int failedAt = -1;             // the step after which the skin differed, -1 for none
  std::string mismatch;          // how
  std::vector<std::string> done; // each step as played, with its numbers resolved
};

class RandomHost {
 public:
  explicit RandomHost(const Kind& kind) : m_kind(kind), m_scene(OptionsFor(kind)) {
    for (int i = 0; i < kind.rows; ++i) AddText(LB_ADDSTRING, 0, TextFor(static_cast<unsigned>(i) * 13));
    if (kind.hook)
      m_hook = kind.unicode ? ::SetWindowsHookExW(WH_CALLWNDPROC, &HostHook<true>, nullptr,
                                                  ::GetCurrentThreadId())
                            : ::SetWindowsHookExA(WH_CALLWNDPROC, &HostHook<false>, nullptr,
                                                  ::GetCurrentThreadId());
    const bool behind =
        kind.subclass == HostSubclass::kAnsiBehind || kind.subclass == HostSubclass::kWideBehind;
    if (behind) Subclass();
    m_scene.On();
    if (!behind) Subclass();
    user::TakeForeground(m_scene.top.hWnd());
    ::SetFocus(m_scene.mirror);
    user::Settle();
  }

  ~RandomHost() {
    if (m_hook != nullptr) ::UnhookWindowsHookEx(m_hook);
    // The subclass stays: the list, and its procedure with it, goes with the scene.
  }

  bool on() const { return m_scene.mirror != nullptr; }

  // Plays one step; returns it described with its numbers resolved.
  std::string Play(const Step& step) {
    const int count = Count();
    const HWND list = m_scene.list;
    std::ostringstream did;
    switch (step.action) {
      case Action::kAdd: {
        did << "host: LB_ADDSTRING \"" << AddText(LB_ADDSTRING, 0, TextFor(step.a)) << '"';
        break;
      }
      case Action::kInsert: {
        const int at = step.b % 5 == 0 ? -1 : static_cast<int>(step.a % (count + 1));
        did << "host: LB_INSERTSTRING " << at << " \""
            << AddText(LB_INSERTSTRING, static_cast<WPARAM>(at), TextFor(step.b)) << '"';
        break;
      }
      case Action::kDelete: {
        const int at = count > 0 ? static_cast<int>(step.a % count) : 0;
        ::SendMessageA(list, LB_DELETESTRING, at, 0);
        did << "host: LB_DELETESTRING " << at;
        break;
      }
      case Action::kReset: {
        ::SendMessageA(list, LB_RESETCONTENT, 0, 0);
        const unsigned refill = step.a % 30;
        for (unsigned i = 0; i < refill; ++i) AddText(LB_ADDSTRING, 0, TextFor(step.b + i * 7));
        did << "host: LB_RESETCONTENT and " << refill << " LB_ADDSTRING";
        break;
      }
      case Action::kSetCurSel: {
        const int row = static_cast<int>(step.a % (count + 1)) - 1;
        ::SendMessageA(list, LB_SETCURSEL, row, 0);
        did << "host: LB_SETCURSEL " << row;
        break;
      }
      case Action::kSetSel: {
        const int row = static_cast<int>(step.a % (count + 1)) - 1;
        const BOOL select = step.b % 3 != 0;
        ::SendMessageA(list, LB_SETSEL, select, row);
        did << "host: LB_SETSEL " << select << ", " << row;
        break;
      }
      case Action::kSelItemRange: {
        const int first = count > 0 ? static_cast<int>(step.a % count) : 0;
        const int last = count > 0 ? static_cast<int>(step.b % count) : 0;
        const BOOL select = (step.a + step.b) % 3 != 0;
        ::SendMessageA(list, LB_SELITEMRANGE, select, MAKELPARAM(first, last));
        did << "host: LB_SELITEMRANGE " << select << ", " << first << ".." << last;
        break;
      }
      case Action::kSelItemRangeEx: {
        const int first = count > 0 ? static_cast<int>(step.a % count) : 0;
        const int last = count > 0 ? static_cast<int>(step.b % count) : 0;
        ::SendMessageA(list, LB_SELITEMRANGEEX, first, last);
        did << "host: LB_SELITEMRANGEEX " << first << ", " << last;
        break;
      }
      case Action::kSetCaret: {
        const int row = count > 0 ? static_cast<int>(step.a % count) : 0;
        ::SendMessageA(list, LB_SETCARETINDEX, row, step.b % 2);
        did << "host: LB_SETCARETINDEX " << row;
        break;
      }
      case Action::kSetAnchor: {
        const int row = count > 0 ? static_cast<int>(step.a % count) : 0;
        ::SendMessageA(list, LB_SETANCHORINDEX, row, 0);
        did << "host: LB_SETANCHORINDEX " << row;
        break;
      }
      case Action::kSetTop: {
        const int row = count > 0 ? static_cast<int>(step.a % count) : 0;
        ::SendMessageA(list, LB_SETTOPINDEX, row, 0);
        did << "host: LB_SETTOPINDEX " << row;
        break;
      }
      case Action::kClick: {
        const int row = ShownRow(step.a);
        const unsigned choice = step.b % 4;
        const unsigned mods = choice == 1 ? unsigned{user::kCtrl}
                              : choice == 2 ? unsigned{user::kShift}
                                            : unsigned{user::kNone};
        // Clicks alternate between two points of a row, far enough apart that two clicks on one
        // row are two clicks and not a double-click.
        const int dx = (m_clicks++ % 2 == 0) ? 20 : 60;
        user::Click(user::RowPoint(m_scene.mirror, row, dx), mods);
        did << "user: click row " << row << ModifierNames(mods);
        break;
      }
      case Action::kKey: {
        const KeyChoice& key = kKeys[step.a % (sizeof kKeys / sizeof kKeys[0])];
        // Letters go plain: a modified letter is a shortcut, not a search.
        const unsigned choice = key.vk >= 'A' ? 0 : step.b % 4;
        const unsigned mods = choice == 1 ? unsigned{user::kShift}
                              : choice == 2 ? unsigned{user::kCtrl}
                                            : unsigned{user::kNone};
        user::Key(key.vk, mods);
        did << "user: key " << key.name << ModifierNames(mods);
        break;
      }
      case Action::kWheel: {
        const int notches = step.a % 2 == 0 ? -static_cast<int>(1 + step.b % 2)
                                            : static_cast<int>(1 + step.b % 2);
        user::Wheel(user::RowPoint(m_scene.mirror, ShownRow(step.b)), notches);
        did << "user: wheel " << notches << (notches < 0 ? " (down)" : " (up)");
        break;
      }
    }
    return did.str();
  }

  // Empty when the skin shows what the host's list holds.
  std::string Mismatch() const {
    return user::HowShownDiffers(user::StateOf(m_scene.mirror), user::StateOf(m_scene.list),
                                 user::MaxTopOf(m_scene.mirror));
  }

 private:
  static SceneOptions OptionsFor(const Kind& kind) {
    SceneOptions o;
    o.items = 0;
    o.style = StyleOf(kind);
    o.unicode = kind.unicode;
    o.place = {10, 10, 250, 170};
    o.itemHeight = 16;
    return o;
  }

  // Adds or inserts a row as the host's character set writes it; returns it as written.
  std::string AddText(UINT message, WPARAM at, const std::wstring& text) {
    const std::string narrow = Narrow(text);
    if (m_kind.unicode)
      ::SendMessageW(m_scene.list, message, at, reinterpret_cast<LPARAM>(text.c_str()));
    else
      ::SendMessageA(m_scene.list, message, at, reinterpret_cast<LPARAM>(narrow.c_str()));
    return narrow;
  }

  void Subclass() {
    const HWND list = m_scene.list;
    switch (m_kind.subclass) {
      case HostSubclass::kNone:
        return;
      case HostSubclass::kAnsiBehind:
      case HostSubclass::kAnsiInFront:
        g_hostNext = reinterpret_cast<WNDPROC>(::SetWindowLongPtrA(
            list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&HostSubclassA)));
        return;
      case HostSubclass::kWideBehind:
      case HostSubclass::kWideInFront:
        g_hostNext = reinterpret_cast<WNDPROC>(::SetWindowLongPtrW(
            list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&HostSubclassW)));
        return;
    }
  }

  int Count() const {
    return std::max(0, static_cast<int>(::SendMessageA(m_scene.list, LB_GETCOUNT, 0, 0)));
  }

  // A row wholly shown on the skin, picked by n; row 0 of an empty list.
  int ShownRow(unsigned n) const {
    const HWND mirror = m_scene.mirror;
    const int top = static_cast<int>(::SendMessageA(mirror, LB_GETTOPINDEX, 0, 0));
    const int count = static_cast<int>(::SendMessageA(mirror, LB_GETCOUNT, 0, 0));
    RECT client = {};
    ::GetClientRect(mirror, &client);
    const int itemHeight = std::max(1, static_cast<int>(::SendMessageA(mirror, LB_GETITEMHEIGHT, 0, 0)));
    const int shown = std::max(1, std::min(static_cast<int>(client.bottom) / itemHeight, count - top));
    return count > 0 ? top + static_cast<int>(n % shown) : 0;
  }

  const Kind m_kind;
  HostScene m_scene;
  HHOOK m_hook = nullptr;
  int m_clicks = 0;
};

// Plays `steps` in a fresh host of `kind`, checking the skin after each; stops at the first
// difference.
Played Play(const Kind& kind, const std::vector<Step>& steps) {
  Played played;
  RandomHost host(kind);
  if (!host.on()) {
    played.failedAt = 0;
    played.mismatch = "the skin did not go on";
    return played;
  }
  for (size_t i = 0; i < steps.size(); ++i) {
    played.done.push_back(host.Play(steps[i]));
    // A step is done once the host's loop has run: the skin shows the host's changes, its top row
    // included, by then.
    user::Settle(0);
    played.mismatch = host.Mismatch();
    if (!played.mismatch.empty()) {
      played.failedAt = static_cast<int>(i);
      break;
    }
  }
  return played;
}

// Leaves out runs of steps, long ones first and then shorter ones down to single steps, keeping
// each omission after which a fresh host still fails, until none can go or the time is up.
std::vector<Step> Shorten(const Kind& kind, std::vector<Step> steps, DWORD milliseconds,
                          bool* finished) {
  const DWORD start = ::GetTickCount();
  *finished = false;
  size_t run = std::max<size_t>(1, steps.size() / 2);
  while (true) {
    bool shortened = false;
    for (size_t from = 0; from < steps.size();) {
      if (::GetTickCount() - start > milliseconds) return steps;
      std::vector<Step> fewer = steps;
      fewer.erase(fewer.begin() + static_cast<std::ptrdiff_t>(from),
                  fewer.begin() + static_cast<std::ptrdiff_t>(std::min(steps.size(), from + run)));
      const Played played = Play(kind, fewer);
      if (played.failedAt >= 0) {
        fewer.resize(static_cast<size_t>(played.failedAt) + 1);
        steps = fewer;
        shortened = true;
      } else {
        from += run;
      }
    }
    if (!shortened) {
      if (run == 1) break;
      run = std::max<size_t>(1, run / 2);
    }
  }
  *finished = true;
  return steps;
}

// ---- Configuration -------------------------------------------------------------------------------

int EnvNumber(const char* name, int fallback) {
  const char* text = std::getenv(name);
  return text != nullptr && *text != '\0' ? std::atoi(text) : fallback;
}

// "1-12" or "3,17,40".
std::vector<unsigned> SeedsFrom(const std::string& text) {
  std::vector<unsigned> seeds;
  std::stringstream in(text);
  std::string part;
  while (std::getline(in, part, ',')) {
    const size_t dash = part.find('-');
    if (dash == std::string::npos) {
      seeds.push_back(static_cast<unsigned>(std::stoul(part)));
      continue;
    }
    const unsigned first = static_cast<unsigned>(std::stoul(part.substr(0, dash)));
    const unsigned last = static_cast<unsigned>(std::stoul(part.substr(dash + 1)));
    for (unsigned s = first; s <= last; ++s) seeds.push_back(s);
  }
  return seeds;
}

std::string Listed(const std::vector<std::string>& lines, int failedAt, const std::string& how) {
  std::ostringstream out;
  for (size_t i = 0; i < lines.size(); ++i) {
    out << "    " << (i + 1) << ". " << lines[i];
    if (static_cast<int>(i) == failedAt) out << "\n       -> " << how;
    out << "\n";
  }
  return out.str();
}

}  // namespace

TEST(RandomHost, TheSkinShowsWhatTheHostsListHoldsAfterEveryStep) {
  const char* seedText = std::getenv("KSL_RANDOM_SEEDS");
  const std::vector<unsigned> seeds = SeedsFrom(seedText != nullptr ? seedText : "1-12");
  const int stepCount = EnvNumber("KSL_RANDOM_STEPS", 32);
  const DWORD shrinkTime = static_cast<DWORD>(EnvNumber("KSL_RANDOM_SHRINK_SECONDS", 6)) * 1000;
  bool shrunkOne = false;
  for (unsigned seed : seeds) {
    const Kind kind = KindOf(seed);
    const std::vector<Step> steps = StepsFor(seed, stepCount);
    const Played played = Play(kind, steps);
    if (played.failedAt < 0) continue;

    std::ostringstream report;
    report << "seed " << seed << " (" << Describe(kind) << "), step " << (played.failedAt + 1)
           << " of " << steps.size() << ": " << played.done.back() << "\n  " << played.mismatch
           << "\n  replay with KSL_RANDOM_SEEDS=" << seed << " KSL_RANDOM_STEPS=" << stepCount
           << "\n";
    // Shortening replays the sequence many times: done for the first failing seed only.
    if (!shrunkOne) {
      shrunkOne = true;
      std::vector<Step> prefix(steps.begin(), steps.begin() + played.failedAt + 1);
      bool finished = false;
      const std::vector<Step> shortest = Shorten(kind, prefix, shrinkTime, &finished);
      const Played again = Play(kind, shortest);
      report << "  shortened to " << shortest.size() << " steps"
             << (finished ? "" : " (time ran out before the shortest)")
             << (again.failedAt >= 0 ? "" : ", which passed when replayed once more") << ":\n"
             << Listed(again.done, again.failedAt, again.mismatch);
    }
    ADD_FAILURE() << report.str();
  }
}
