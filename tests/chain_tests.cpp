// Other code subclassing the host's list while the skin is on: a plug-in, a theming library or the
// host itself. Whatever order the subclasses come and go in, the host's list keeps working.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "HostKit.h"

using namespace host;

namespace {

// A subclass as third-party code writes it: it keeps the procedure it found, hands every message
// on to it, and removes itself by putting that procedure back, without looking at who is on top.
class ThirdParty {
 public:
  explicit ThirdParty(HWND hWnd) : m_hWnd(hWnd), m_unicode(::IsWindowUnicode(hWnd) != FALSE) {
    s_self = this;
    const auto proc = reinterpret_cast<LONG_PTR>(&Proc);
    m_found = m_unicode ? ::SetWindowLongPtrW(hWnd, GWLP_WNDPROC, proc)
                        : ::SetWindowLongPtrA(hWnd, GWLP_WNDPROC, proc);
    s_found = m_found;
    s_foundUnicode = m_unicode;
  }
  ~ThirdParty() { s_self = nullptr; }
  ThirdParty(const ThirdParty&) = delete;
  ThirdParty& operator=(const ThirdParty&) = delete;

  void RemoveTheUsualWay() {
    if (m_unicode)
      ::SetWindowLongPtrW(m_hWnd, GWLP_WNDPROC, m_found);
    else
      ::SetWindowLongPtrA(m_hWnd, GWLP_WNDPROC, m_found);
    m_removed = true;
  }
  int Count(UINT message) const {
    int n = 0;
    for (UINT m : seen) n += m == message;
    return n;
  }
  static LONG_PTR Address() { return reinterpret_cast<LONG_PTR>(&Proc); }
  std::vector<UINT> seen;

 private:
  static LRESULT CALLBACK Proc(HWND h, UINT m, WPARAM w, LPARAM l) {
    // Still called after the test object has gone, while the window ends.
    if (ThirdParty* self = s_self) {
      if (self->m_removed) ADD_FAILURE() << "a removed subclass was called";
      self->seen.push_back(m);
    }
    const auto found = reinterpret_cast<WNDPROC>(s_found);
    return s_foundUnicode ? ::CallWindowProcW(found, h, m, w, l)
                          : ::CallWindowProcA(found, h, m, w, l);
  }
  static ThirdParty* s_self;
  static LONG_PTR s_found;
  static bool s_foundUnicode;
  HWND m_hWnd;
  bool m_unicode;
  bool m_removed = false;
  LONG_PTR m_found = 0;
};
ThirdParty* ThirdParty::s_self = nullptr;
LONG_PTR ThirdParty::s_found = 0;
bool ThirdParty::s_foundUnicode = false;

LONG_PTR ProcOf(HWND hWnd) {
  return ::IsWindowUnicode(hWnd) ? ::GetWindowLongPtrW(hWnd, GWLP_WNDPROC)
                                 : ::GetWindowLongPtrA(hWnd, GWLP_WNDPROC);
}

LPARAM Text(const char* s) { return reinterpret_cast<LPARAM>(s); }

// The list answers as a list box: it takes an item and counts it.
void ExpectAWorkingList(const HostScene& h, const char* when) {
  const LRESULT before = h.ToList(LB_GETCOUNT);
  EXPECT_GE(before, 0) << when;
  EXPECT_EQ(h.ToList(LB_ADDSTRING, 0, Text("proof")), before) << when;
  EXPECT_EQ(h.ToList(LB_GETCOUNT), before + 1) << when;
  EXPECT_EQ(ItemsOf(h.list).back(), "proof") << when;
}

}  // namespace

TEST(LaterSubclass, SurvivesSwitchOffStillSeesMessagesAndItsRemovalLeavesAWorkingList) {
  HostScene h;
  const LONG_PTR original = ProcOf(h.list);
  h.On();
  ThirdParty later(h.list);
  h.Off();
  EXPECT_TRUE(UserMeets(h.list));

  h.ToList(LB_ADDSTRING, 0, Text("after off"));
  EXPECT_EQ(later.Count(LB_ADDSTRING), 1) << "the later subclass is still in the chain";
  ExpectAWorkingList(h, "with the later subclass on top");

  later.RemoveTheUsualWay();
  ExpectAWorkingList(h, "after the later subclass put back what it found");
  EXPECT_EQ(ProcOf(h.list), original) << "the library's pass-through left once it was on top";
  EXPECT_EQ(h.ToList(LB_GETCOUNT), 13);
}

TEST(LaterSubclass, AWideSubclassOnAUnicodeListKeepsTheHostsTexts) {
  SceneOptions o;
  o.items = 0;
  o.unicode = true;
  HostScene h(o);
  const LONG_PTR original = ProcOf(h.list);
  const std::wstring texts[] = {L"\u65e5\u672c\u8a9e", L"\u0395\u03bb\u03bb\u03ac\u03b4\u03b1",
                                L"caf\u00e9"};
  auto add = [&](const std::wstring& t) {
    ::SendMessageW(h.list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(t.c_str()));
  };
  auto textAt = [&](int i) {
    wchar_t buffer[64] = {};
    ::SendMessageW(h.list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(buffer));
    return std::wstring(buffer);
  };
  add(texts[0]);
  h.On();
  ThirdParty later(h.list);
  add(texts[1]);
  h.Off();
  later.RemoveTheUsualWay();
  add(texts[2]);
  EXPECT_TRUE(::IsWindowUnicode(h.list));
  ASSERT_EQ(::SendMessageW(h.list, LB_GETCOUNT, 0, 0), 3);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(textAt(i), texts[i]) << "item " << i;
  EXPECT_EQ(ProcOf(h.list), original);
}

TEST(LaterSubclass, TwoOverlaysInARowWithAThirdPartyBetweenThem) {
  HostScene h;
  const LONG_PTR original = ProcOf(h.list);
  h.On();
  ThirdParty later(h.list);
  h.Off();
  h.On();  // the second overlay goes on top of the third party
  h.ToList(LB_ADDSTRING, 0, Text("seen by both"));
  Pump();
  EXPECT_EQ(ItemsOf(h.mirror), ItemsOf(h.list));
  EXPECT_EQ(later.Count(LB_ADDSTRING), 1);
  h.Off();
  EXPECT_EQ(ProcOf(h.list), ThirdParty::Address()) << "the second overlay left from the top";
  ExpectAWorkingList(h, "both overlays off, the third party still on");
  later.RemoveTheUsualWay();
  ExpectAWorkingList(h, "everyone gone");
  EXPECT_EQ(ProcOf(h.list), original);
}

TEST(LaterSubclass, APlainSwitchOffGivesBackExactlyTheProcedureFromBefore) {
  HostScene h;
  ThirdParty earlier(h.list);  // the host's own subclass, made before the skin
  const LONG_PTR before = ProcOf(h.list);
  h.On();
  EXPECT_NE(ProcOf(h.list), before);
  h.Off();
  EXPECT_EQ(ProcOf(h.list), before);
  earlier.seen.clear();
  h.ToList(LB_GETCOUNT);
  EXPECT_EQ(earlier.Count(LB_GETCOUNT), 1);
}
