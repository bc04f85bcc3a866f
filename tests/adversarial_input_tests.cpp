// The user's real input (SendInput) on the skin while the host is in the middle of a batch with
// its list's redraw switched off and its loop still turning: the host's list must hear what it
// would have heard unskinned, and the skin must show the list once the batch ends.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "AdversarialHost.h"
#include "HostKit.h"
#include "UserInput.h"

using namespace host;

namespace {

LPARAM Text(const char* s) { return reinterpret_cast<LPARAM>(s); }

struct BatchRun {
  int selected = -1;
  std::string selectedText;
  std::vector<int> codes;  // LBN_ codes the host heard, focus ones left out
  std::string skinAfter;   // how the skin differed from the list after the batch (skinned runs)
};

BatchRun RunBatch(bool skinned) {
  SceneOptions o;
  o.items = 30;
  o.place = {10, 10, 310, 210};
  o.itemHeight = 16;
  HostScene h(o);
  if (skinned) h.On();
  HWND shown = skinned ? h.mirror : h.list;
  EXPECT_TRUE(user::TakeForeground(h.top.hWnd()));
  ::SetFocus(shown);
  user::Settle();
  h.top.notifications.clear();

  // The batch: redraw off, rows inserted above what the user sees, the loop turning meanwhile.
  h.ToList(WM_SETREDRAW, FALSE);
  for (int i = 0; i < 5; ++i) h.ToList(LB_INSERTSTRING, 0, Text("inserted in the batch"));
  user::Click(user::RowPoint(shown, 4));
  user::Key(VK_DOWN);
  h.ToList(LB_DELETESTRING, 1);
  h.ToList(WM_SETREDRAW, TRUE);
  ::InvalidateRect(h.list, nullptr, TRUE);
  user::Settle();

  BatchRun r;
  r.selected = static_cast<int>(h.ToList(LB_GETCURSEL));
  if (r.selected >= 0) r.selectedText = ItemsOf(h.list)[static_cast<size_t>(r.selected)];
  for (const Notification& n : h.top.notifications)
    if (n.hFrom == h.list && n.nCode != LBN_SETFOCUS && n.nCode != LBN_KILLFOCUS)
      r.codes.push_back(n.nCode);
  if (skinned) r.skinAfter = adversary::HowTheSkinDiffers(h.mirror, h.list);
  user::WaitOutDoubleClick();
  return r;
}

}  // namespace

TEST(InputMidBatch, AClickAndAKeyWhileTheHostsRedrawIsOffReachTheListAsUnskinned) {
  const BatchRun plain = RunBatch(false);
  ASSERT_GE(plain.selected, 0) << "the reference run: the click selected nothing";
  ASSERT_FALSE(plain.codes.empty()) << "the reference run: the host heard nothing";
  const BatchRun skinned = RunBatch(true);
  EXPECT_EQ(skinned.selected, plain.selected) << "the row the host's list selected";
  EXPECT_EQ(skinned.selectedText, plain.selectedText);
  EXPECT_EQ(skinned.codes, plain.codes) << "what the host's list told the host";
  EXPECT_EQ(skinned.skinAfter, "") << "the skin once the batch ended";
}
