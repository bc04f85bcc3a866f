// A seeded random host: host operations on its list mixed with the user's clicks, keys and wheel on
// the skin, over lists of every selection mode, sorted or not, owner-drawn or not. After every step
// the skin must show what the host's list holds. A failing seed is reported with the step and a
// shortened sequence that still fails, replayed in a fresh host.
//
// CI runs a fixed set of seeds. For longer runs by hand:
//   KSL_RANDOM_SEEDS=1-200   seeds to play: a range, or a list "3,17,40"
//   KSL_RANDOM_STEPS=60      steps per seed
//   KSL_RANDOM_SHRINK_SECONDS=30   time allowed for shortening a failing sequence
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
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

struct Kind {
  Mode mode;
  bool sorted;
  bool ownerDrawn;
  int rows;  // the host's rows before the first step
};

// Every twelve seeds in a row cover every kind.
Kind KindOf(unsigned seed) {
  const unsigned k = seed % 12;
  return {static_cast<Mode>(k % 3), (k / 3) % 2 == 1, k >= 6, 12 + static_cast<int>(seed % 29)};
}

std::string Describe(const Kind& kind) {
  std::string text = kind.mode == Mode::kSingle     ? "single"
                     : kind.mode == Mode::kExtended ? "extended"
                                                    : "multiple";
  text += kind.sorted ? ", sorted" : ", unsorted";
  if (kind.ownerDrawn) text += ", owner-drawn";
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

const char* const kWords[] = {"apple", "berry", "cherry", "date",  "elder", "fig",
                              "grape", "hazel", "iris",   "juniper", "kiwi", "lemon"};

std::string TextFor(unsigned n) {
  return std::string(kWords[n % 12]) + " " + std::to_string(n % 100);
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
  explicit RandomHost(const Kind& kind) : m_scene(OptionsFor(kind)) {
    for (int i = 0; i < kind.rows; ++i) {
      const std::string text = TextFor(static_cast<unsigned>(i) * 13);
      ::SendMessageA(m_scene.list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    }
    m_scene.On();
    user::TakeForeground(m_scene.top.hWnd());
    ::SetFocus(m_scene.mirror);
    user::Settle();
  }

  bool on() const { return m_scene.mirror != nullptr; }

  // Plays one step; returns it described with its numbers resolved.
  std::string Play(const Step& step) {
    const int count = Count();
    const HWND list = m_scene.list;
    std::ostringstream did;
    switch (step.action) {
      case Action::kAdd: {
        const std::string text = TextFor(step.a);
        ::SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
        did << "host: LB_ADDSTRING \"" << text << '"';
        break;
      }
      case Action::kInsert: {
        const int at = step.b % 5 == 0 ? -1 : static_cast<int>(step.a % (count + 1));
        const std::string text = TextFor(step.b);
        ::SendMessageA(list, LB_INSERTSTRING, at, reinterpret_cast<LPARAM>(text.c_str()));
        did << "host: LB_INSERTSTRING " << at << " \"" << text << '"';
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
        for (unsigned i = 0; i < refill; ++i) {
          const std::string text = TextFor(step.b + i * 7);
          ::SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
        }
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
    o.place = {10, 10, 250, 170};
    o.itemHeight = 16;
    return o;
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

  HostScene m_scene;
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
