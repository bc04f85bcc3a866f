// The skin shows what the host's list holds, readably, in any host: wide texts as the host wrote
// them, setters that act at once, the colours and the font the host gives its list, a list the
// host destroys, and lists that keep no data of their own. Read back from the screen.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <cstdio>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "GdiCounter.h"
#include "HostKit.h"
#include "Screenshot.h"
#include "TextPixels.h"

using namespace host;

namespace {

// A plain tile and a text colour that tell text from ground at every pixel.
constexpr COLORREF kGround = RGB(24, 40, 72);
constexpr COLORREF kInk = RGB(255, 230, 80);
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kBlack = RGB(0, 0, 0);

// Texts in scripts a single-byte code page cannot hold, and one it can.
const wchar_t* const kJapanese = L"\u65e5\u672c\u8a9e\u306e\u884c";  // 日本語の行
const wchar_t* const kGreek = L"\u0395\u03bb\u03bb\u03b7\u03bd\u03b9\u03ba\u03ac";  // Ελληνικά
const wchar_t* const kCyrillic = L"\u0416\u0451\u043b\u0442\u044b\u0439 \u0441\u0430\u0434";
const wchar_t* const kAccented = L"Cr\u00e8me br\u00fbl\u00e9e";  // Crème brûlée

SceneOptions Options(int items, int rowHeight, RECT place, bool unicode = false,
                     DWORD style = kPlainListStyle | LBS_NOINTEGRALHEIGHT) {
  SceneOptions o;
  o.items = items;
  o.itemHeight = rowHeight;
  o.place = place;
  o.unicode = unicode;
  o.style = style;
  return o;
}

// A host scene switched on and painted once, with the focus away from the mirror (no focus
// rectangle in the pixels).
struct Skin : HostScene {
  explicit Skin(const SceneOptions& o) : HostScene(o) {
    On();
    ::SetFocus(top.hWnd());
    ::UpdateWindow(mirror);
  }
};

RECT MirrorRow(const HostScene& h, int row) {
  RECT rc = {};
  h.ToMirror(LB_GETITEMRECT, row, reinterpret_cast<LPARAM>(&rc));
  return rc;
}

RECT ClientOf(HWND hWnd) {
  RECT rc = {};
  ::GetClientRect(hWnd, &rc);
  return rc;
}

class Font {
 public:
  explicit Font(int pixels, const wchar_t* face = L"DejaVu Sans", BYTE quality = DEFAULT_QUALITY)
      : m_hFont(::CreateFontW(-pixels, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                              OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, quality, DEFAULT_PITCH,
                              face)) {}
  ~Font() { ::DeleteObject(m_hFont); }
  Font(const Font&) = delete;
  Font& operator=(const Font&) = delete;
  HFONT get() const { return m_hFont; }
  WPARAM w() const { return reinterpret_cast<WPARAM>(m_hFont); }

 private:
  HFONT m_hFont;
};

LPARAM Wide(const std::wstring& text) { return reinterpret_cast<LPARAM>(text.c_str()); }

std::wstring WideTextOf(HWND hList, int index) {
  const LRESULT length = ::SendMessageW(hList, LB_GETTEXTLEN, index, 0);
  if (length < 0) return L"<LB_ERR>";
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  ::SendMessageW(hList, LB_GETTEXT, index, reinterpret_cast<LPARAM>(&text[0]));
  text.resize(wcslen(text.c_str()));
  return text;
}

std::vector<std::wstring> WideItemsOf(HWND hList) {
  std::vector<std::wstring> items;
  const int count = static_cast<int>(::SendMessageW(hList, LB_GETCOUNT, 0, 0));
  for (int i = 0; i < count; ++i) items.push_back(WideTextOf(hList, i));
  return items;
}

std::string Utf8Items(const std::vector<std::wstring>& items) {
  std::string out;
  for (const std::wstring& item : items) out += "[" + Utf8(item) + "] ";
  return out;
}

// Where a list box starts a row's text: Wine's lists draw it one pixel in from the row's edge.
constexpr int kListsTextX = 1;

// Row `row` of the mirror, as the screen shows it, against the same text drawn by the system in
// `font` and the same colour where the list starts a row's text, on the same plain ground. The
// caller has painted the tile kGround and set the text colour kInk.
void ExpectRowDrawnAsTheSystemDrawsIt(const HostScene& s, int row, const std::wstring& text,
                                      HFONT font, const std::string& context) {
  const RECT rc = MirrorRow(s, row);
  const int width = std::min<int>(rc.right - rc.left, 400);
  const int height = rc.bottom - rc.top;
  const RECT part = {rc.left, rc.top, rc.left + width, rc.bottom};
  const PixelRect shown = PixelRect::OfClient(s.mirror, part);
  const PixelRect drawn =
      SystemDrawnText(text, font, kInk, kGround, kListsTextX, 0, width, height);
  const std::vector<POINT> expected = InkOn(drawn, kGround);
  ASSERT_GT(expected.size(), 20u) << context << ": the system drew no text for " << Utf8(text);
  const InkDifference diff = CompareInk(InkOn(shown, kGround), expected);
  EXPECT_EQ(diff.count, 0) << context << ": row " << row << " \"" << Utf8(text)
                           << "\": " << diff.count << " of " << expected.size()
                           << " ink pixels differ (first: shown, second: system):" << diff.sample;
}

}  // namespace

// ---- Unicode ------------------------------------------------------------------------------------

TEST(Unicode, TheMirrorOfAWideListIsAWideWindowHoldingTheHostsTextsAtSwitchOnAndLater) {
  for (DWORD sorting : {0ul, static_cast<unsigned long>(LBS_SORT)}) {
    const std::string context = sorting ? "sorted list" : "unsorted list";
    HostScene h(Options(0, 0, {20, 20, 320, 220}, /*unicode=*/true,
                        kPlainListStyle | LBS_NOINTEGRALHEIGHT | sorting));
    for (const wchar_t* text : {kJapanese, kGreek, kCyrillic, kAccented})
      ::SendMessageW(h.list, LB_ADDSTRING, 0, Wide(text));
    h.On();
    ASSERT_NE(h.mirror, nullptr) << context;
    EXPECT_TRUE(::IsWindowUnicode(h.mirror)) << context;
    EXPECT_EQ(WideItemsOf(h.mirror), WideItemsOf(h.list))
        << context << " at switch-on; mirror: " << Utf8Items(WideItemsOf(h.mirror));

    ::SendMessageW(h.list, LB_ADDSTRING, 0, Wide(L"\u0394\u03ad\u03bb\u03c4\u03b1 \u6771\u4eac"));
    ::SendMessageW(h.list, LB_INSERTSTRING, 1, Wide(L"\u0429\u0443\u043a\u0430"));
    ::SendMessageW(h.list, LB_INSERTSTRING, static_cast<WPARAM>(-1), Wide(L"\u03c9 last"));
    Pump();  // the host's loop runs: the mirror shows what the host did
    EXPECT_EQ(WideItemsOf(h.mirror), WideItemsOf(h.list))
        << context << " after later additions; mirror: " << Utf8Items(WideItemsOf(h.mirror));
    h.Off();
  }
}

namespace {

// Short texts from small alphabets, so that many share prefixes and many differ only in letters
// a single-byte code page turns into the same '?'.
std::wstring RandomText(std::mt19937& rng) {
  static const std::wstring kPools[] = {
      L"\u03b1\u03b2\u03b3\u0391\u0392\u0393",  // Greek, both cases
      L"\u0436\u0443\u043a\u0416\u0423\u041a",  // Cyrillic, both cases
      L"\u65e5\u672c\u6771\u4eac",              // Japanese
      L"\u00e9\u00fc\u00c9\u00dc",              // accented Latin, in the ANSI code page
      L"abAB",
  };
  std::wstring text;
  const int length = 1 + static_cast<int>(rng() % 4);
  for (int i = 0; i < length; ++i) {
    const std::wstring& pool = kPools[rng() % 5];
    text += pool[rng() % pool.size()];
  }
  return text;
}

}  // namespace

TEST(Unicode, StringSearchesPickTheSameRowInTheMirrorAsInTheHostsList) {
  HostScene h(Options(0, 0, {20, 20, 320, 220}, /*unicode=*/true));
  std::mt19937 rng(20240611);
  std::vector<std::wstring> items;
  // Two that differ only where ANSI would write '?'.
  for (const wchar_t* text : {L"\u03b1\u03b2 x", L"\u0436\u0443 x"}) items.push_back(text);
  while (items.size() < 40) {
    const std::wstring text = RandomText(rng);
    if (std::find(items.begin(), items.end(), text) == items.end()) items.push_back(text);
  }
  for (const std::wstring& text : items) ::SendMessageW(h.list, LB_ADDSTRING, 0, Wide(text));
  h.On();
  ASSERT_NE(h.mirror, nullptr);

  int differing = 0;
  const int kQueries = 200;
  for (int q = 0; q < kQueries; ++q) {
    const std::wstring& item = items[rng() % items.size()];
    std::wstring query;
    switch (rng() % 4) {
      case 0:
        query = item.substr(0, 1 + rng() % item.size());
        break;
      case 1:
        query = item;
        break;
      case 2:
        query = RandomText(rng);
        break;
      default:
        query = item;
        ::CharUpperW(&query[0]);
        break;
    }
    const WPARAM start = static_cast<WPARAM>(static_cast<int>(rng() % (items.size() + 1)) - 1);
    // Each search starts from no selection, so that one miss does not carry over to the next.
    h.ToList(LB_SETCURSEL, static_cast<WPARAM>(-1));
    const LRESULT found[2] = {::SendMessageW(h.list, LB_FINDSTRING, start, Wide(query)),
                              ::SendMessageW(h.mirror, LB_FINDSTRING, start, Wide(query))};
    const LRESULT exact[2] = {::SendMessageW(h.list, LB_FINDSTRINGEXACT, start, Wide(query)),
                              ::SendMessageW(h.mirror, LB_FINDSTRINGEXACT, start, Wide(query))};
    ::SendMessageW(h.list, LB_SELECTSTRING, start, Wide(query));
    Pump();
    const LRESULT selected[2] = {h.ToList(LB_GETCURSEL), h.ToMirror(LB_GETCURSEL)};
    if (found[0] == found[1] && exact[0] == exact[1] && selected[0] == selected[1]) continue;
    if (++differing <= 5)
      ADD_FAILURE() << "query \"" << Utf8(query) << "\" from " << static_cast<int>(start)
                    << ": find " << found[0] << "/" << found[1] << ", exact " << exact[0] << "/"
                    << exact[1] << ", select " << selected[0] << "/" << selected[1]
                    << " (host's list/mirror)";
  }
  EXPECT_EQ(differing, 0) << differing << " of " << kQueries
                          << " searches answered differently in the mirror";
}

TEST(Unicode, AWideRowIsDrawnAsTheSystemDrawsTheSameText) {
  Font font(16);
  HostScene h(Options(0, 22, {20, 20, 420, 220}, /*unicode=*/true));
  ::SendMessageW(h.list, WM_SETFONT, font.w(), FALSE);
  const std::vector<std::wstring> texts = {kGreek, kCyrillic, kAccented,
                                           std::wstring(kGreek) + L" \u00b7 " + kCyrillic};
  for (const std::wstring& text : texts) ::SendMessageW(h.list, LB_ADDSTRING, 0, Wide(text));
  h.On();
  ::SetFocus(h.top.hWnd());
  ::UpdateWindow(h.mirror);
  Lib().SetBkColor(kGround);
  Lib().SetFgColor(kInk);
  for (size_t i = 0; i < texts.size(); ++i)
    ExpectRowDrawnAsTheSystemDrawsIt(h, static_cast<int>(i), texts[i], font.get(), "at switch-on");
  // A row the host adds later.
  const std::wstring later = L"\u03a9\u03bc\u03ad\u03b3\u03b1 \u0429";
  ::SendMessageW(h.list, LB_ADDSTRING, 0, Wide(later));
  Pump();
  ExpectRowDrawnAsTheSystemDrawsIt(h, static_cast<int>(texts.size()), later, font.get(),
                                   "added later");
}

namespace {

// What a reader in one character set, on this thread or one of its own (as a tool in another
// program asks), reads of row `row`: its promised length, the bytes it gets, whether more were
// written than promised, and where the row's first word is found.
std::string ReadRow(HWND hList, int row, bool wide, bool otherThread) {
  std::string answer;
  std::atomic<bool> done{false};
  auto read = [&] {
    auto ask = [&](UINT m, WPARAM w, const void* l) {
      return wide ? ::SendMessageW(hList, m, w, reinterpret_cast<LPARAM>(l))
                  : ::SendMessageA(hList, m, w, reinterpret_cast<LPARAM>(l));
    };
    const size_t unit = wide ? 2 : 1;
    const LRESULT length = ask(LB_GETTEXTLEN, row, nullptr);
    std::string room((std::min<LRESULT>(length, 999) + 1) * unit + 16, '\xCD');
    const LRESULT got = ask(LB_GETTEXT, row, &room[0]);
    const bool overran = room.find_first_not_of('\xCD', (length + 1) * unit) != std::string::npos;
    room.resize(std::max<LRESULT>(got, 0) * unit);
    const std::string word =
        room.substr(0, room.find(wide ? std::string(" \0", 2) : " ")) + std::string(2, '\0');
    answer = std::to_string(length) + " [" + room + "]" + (overran ? " OVERRUN" : "") +
             " found at " + std::to_string(ask(LB_FINDSTRING, -1, word.c_str()));
    done = true;
  };
  if (!otherThread) read();
  std::thread reader(otherThread ? std::function<void()>(read) : [] {});
  for (; !done; ::Sleep(1)) Pump();
  reader.join();
  return answer;
}

}  // namespace

TEST(Readers, EveryReaderReadsTheSkinsRowsAndStateAsItReadsTheHostsListInEitherCharacterSet) {
  const std::wstring kRows[2][3] = {{L"apple.txt", L"Caf\u00e9 cr\u00e8me", L"row 02"},
                                    {L"row 00 unicode host", kGreek, kJapanese}};
  for (bool unicodeHost : {false, true}) {
    HostScene h(Options(0, 0, {20, 20, 320, 220}, unicodeHost));
    for (const std::wstring& row : kRows[unicodeHost]) {
      char narrow[64] = "";
      ::WideCharToMultiByte(CP_ACP, 0, row.c_str(), -1, narrow, sizeof narrow, nullptr, nullptr);
      unicodeHost ? ::SendMessageW(h.list, LB_ADDSTRING, 0, Wide(row))
                  : h.ToList(LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(narrow));
    }
    h.On();
    for (int reader = 0; reader < 4; ++reader)
      for (int row = 0; row < 3; ++row)
        EXPECT_EQ(ReadRow(h.mirror, row, reader & 1, reader & 2),
                  ReadRow(h.list, row, reader & 1, reader & 2))
            << (unicodeHost ? "Unicode" : "ANSI") << " host, " << (reader & 1 ? "Unicode" : "ANSI")
            << " reader" << (reader & 2 ? " on another thread" : "") << ", row " << row
            << " (first: the skin, second: the host's list)";
  }
  // Every other question a reader asks, in both places the skin can lie, before the host's loop
  // has run after the host's changes and after.
  for (Reference layout : {Reference::kContainer, Reference::kList}) {
    SceneOptions o = Options(40, 0, {20, 20, 320, 220}, false,
                             kPlainListStyle | LBS_NOINTEGRALHEIGHT | LBS_EXTENDEDSEL | WS_HSCROLL);
    o.reference = layout;
    HostScene h(o);
    ::SetWindowTextA(h.list, "Files");
    h.On();
    h.ToList(LB_SETLOCALE, MAKELCID(MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN), SORT_DEFAULT));
    h.ToList(LB_SETHORIZONTALEXTENT, 700);
    h.ToList(LB_SELITEMRANGEEX, 3, 5);
    h.ToList(LB_SETCARETINDEX, 4);
    for (bool pumped : {false, true}) {
      if (pumped) Pump();
      auto answers = [](HWND hList) {
        RECT rc = {};
        char text[32] = "";
        std::string all = std::to_string(::SendMessageA(hList, WM_GETTEXT, 32, (LPARAM)text)) + text;
        wchar_t kept[32] = L"";  // as a reader in another process reads it
        all += std::to_string(::InternalGetWindowText(hList, kept, 32)) + Utf8(kept);
        const LPARAM kQuestions[][3] = {
            {WM_GETTEXTLENGTH}, {LB_GETITEMRECT, 4, reinterpret_cast<LPARAM>(&rc)},
            {LB_ITEMFROMPOINT, 0, MAKELPARAM(30, 50)}, {LB_GETSEL, 4}, {LB_GETSELCOUNT},
            {LB_GETCARETINDEX}, {LB_GETANCHORINDEX}, {LB_GETHORIZONTALEXTENT}, {LB_GETLOCALE},
            {WM_GETOBJECT, 0, OBJID_CLIENT}};
        for (const auto& q : kQuestions)
          all += " " + std::to_string(::SendMessageA(hList, q[0], q[1], q[2]));
        return all + " rect " + std::to_string(rc.top) + "," + std::to_string(rc.bottom) + " id " +
               std::to_string(::GetDlgCtrlID(hList));
      };
      EXPECT_EQ(answers(h.mirror), answers(h.list))
          << (layout == Reference::kList ? "in the list's own place" : "in a container")
          << (pumped ? ", after the host's loop ran" : ", before the host's loop ran");
    }
  }
}

TEST(Unicode, ASkinnedWideListIsSavedForPeopleToLookAt) {
  // A face with Greek, Cyrillic and Japanese glyphs alike, where the machine has one.
  Font font(16, L"WenQuanYi Micro Hei");
  HostScene h(Options(0, 22, {20, 20, 440, 340}, /*unicode=*/true));
  ::MoveWindow(h.top.hWnd(), 20, 20, 460, 360, TRUE);
  ::SendMessageW(h.list, WM_SETFONT, font.w(), FALSE);
  const std::wstring rows[] = {
      std::wstring(L"Greek: ") + kGreek,
      std::wstring(L"Russian: ") + kCyrillic,
      std::wstring(L"French: ") + kAccented,
      std::wstring(L"Japanese: ") + kJapanese,
      L"Mixed: \u0391\u03b8\u03ae\u03bd\u03b1 \u00b7 \u041c\u043e\u0441\u043a\u0432\u0430 \u00b7 "
      L"\u6771\u4eac",
      L"Symbols: \u00a9 \u00b0 \u00b1 \u00bd \u20ac \u2192 \u2713"};
  for (int repeat = 0; repeat < 2; ++repeat)
    for (const std::wstring& row : rows) ::SendMessageW(h.list, LB_ADDSTRING, 0, Wide(row));
  h.On();
  h.ToList(LB_SETCURSEL, 1);
  ::SetFocus(h.top.hWnd());
  EXPECT_EQ(WideItemsOf(h.mirror), WideItemsOf(h.list));
  // The picture is read from the screen, which Wine brings up to date while the loop runs idle.
  ::UpdateWindow(h.top.hWnd());
  for (const DWORD start = ::GetTickCount(); ::GetTickCount() - start < 150;) {
    Pump();
    ::Sleep(10);
  }
  ::CreateDirectoryA("artifacts", nullptr);
  EXPECT_TRUE(SaveWindowPng(h.top.hWnd(), "artifacts/unicode_list.png"));
}

// ---- Setters before the first paint, and a colour over the whole tile ---------------------------

namespace {

constexpr COLORREF kGreen = RGB(0, 90, 0);

// Counts the pixels of `pixels` that are not `expected(x, y)` (x, y in the rectangle), and the
// lines they lie on; describes the first few.
struct Mismatch {
  int pixels = 0;
  int lines = 0;
  std::string sample;
};

template <typename Expected>
Mismatch Compare(const PixelRect& pixels, Expected expected) {
  Mismatch m;
  for (int y = 0; y < pixels.height(); ++y) {
    bool lineWrong = false;
    for (int x = 0; x < pixels.width(); ++x) {
      const COLORREF want = expected(x, y);
      if (pixels.At(x, y) == want) continue;
      lineWrong = true;
      if (m.pixels++ < 3) {
        char text[96];
        std::snprintf(text, sizeof text, " (%d,%d) is %06lx not %06lx", x, y,
                      static_cast<unsigned long>(pixels.At(x, y)),
                      static_cast<unsigned long>(want));
        m.sample += text;
      }
    }
    m.lines += lineWrong;
  }
  return m;
}

Mismatch CompareWithColour(const PixelRect& pixels, COLORREF colour) {
  return Compare(pixels, [colour](int, int) { return colour; });
}

}  // namespace

TEST(SettersBeforeTheFirstPaint, TheLastTileChoiceShowsInEveryBackgroundPixel) {
  const std::string picture = WriteCoordinateBitmap("early64x32.bmp", 64, 32);
  enum class Last { kColour, kPicture };
  struct Order {
    const char* what;
    std::vector<bool> calls;  // in order: true the colour, false the picture
    Last last;
  };
  const Order orders[] = {{"a colour", {true}, Last::kColour},
                          {"a picture, then a colour", {false, true}, Last::kColour},
                          {"a colour, then a picture", {true, false}, Last::kPicture}};
  for (const Order& order : orders) {
    HostScene h(Options(5, 20, {20, 20, 320, 320}));
    h.On();  // no message loop runs before the calls: the panel has not painted yet
    for (bool colour : order.calls) {
      if (colour)
        EXPECT_EQ(Lib().SetBkColor(kGreen), 1);
      else
        EXPECT_EQ(Lib().SetBkBmp(picture.c_str()), 1);
    }
    ::SetFocus(h.top.hWnd());
    // Right of the rows' texts: rows and the band below them.
    constexpr int kLeft = 120;
    const RECT client = ClientOf(h.mirror);
    const PixelRect shown = PixelRect::OfClient(h.mirror, {kLeft, 0, client.right, client.bottom});
    const Mismatch m =
        order.last == Last::kColour
            ? CompareWithColour(shown, kGreen)
            : Compare(shown, [](int x, int y) { return RGB((x + kLeft) % 64, y % 32, 0x40); });
    EXPECT_EQ(m.pixels, 0) << order.what << ": " << m.pixels << " of "
                           << shown.width() * shown.height() << " background pixels wrong;"
                           << m.sample;
  }
}

TEST(SettersBeforeTheFirstPaint, ATextColourIsUsedExactly) {
  HostScene h(Options(3, 20, {20, 20, 320, 220}));
  h.On();
  Lib().SetFgColor(kInk);
  Lib().SetBkColor(kGround);
  ::SetFocus(h.top.hWnd());
  const PixelRect row = PixelRect::OfClient(h.mirror, MirrorRow(h, 0));
  EXPECT_GE(row.Count(kInk), 10) << "the text drawn in the host's colour";
}

TEST(BackgroundColour, PaintsTheWholeTileOnAListShorterThanTheTileScrolledAndGrown) {
  SceneOptions o = Options(40, 20, {0, 0, 300, 100});
  o.reference = Reference::kList;  // the panel in the list's parent: it grows with the list
  Skin s(o);
  Lib().SetBkBmp(WriteCoordinateBitmap("tall128.bmp", 128, 128).c_str());
  Lib().SetBkColor(kGreen);
  s.ToList(LB_SETTOPINDEX, 3);
  Pump();
  ASSERT_EQ(s.ToMirror(LB_GETTOPINDEX), 3);
  constexpr int kLeft = 150;  // right of the rows' texts
  RECT client = ClientOf(s.mirror);
  Mismatch m = CompareWithColour(
      PixelRect::OfClient(s.mirror, {kLeft, 0, client.right, client.bottom}), kGreen);
  EXPECT_EQ(m.lines, 0) << "100 px high, scrolled by 60: " << m.lines << " of " << client.bottom
                        << " lines keep the picture;" << m.sample;

  ::MoveWindow(s.list, 0, 0, 300, 300, TRUE);
  client = ClientOf(s.mirror);
  ASSERT_GE(client.bottom, 290) << "the panel follows the list";
  m = CompareWithColour(PixelRect::OfClient(s.mirror, {kLeft, 0, client.right, client.bottom}),
                        kGreen);
  EXPECT_EQ(m.lines, 0) << "grown to 300 px: " << m.lines << " of " << client.bottom
                        << " lines keep the picture;" << m.sample;
}

// ---- Colours at switch-on --------------------------------------------------------------------

namespace {

// A host's parent window procedure that answers WM_CTLCOLORLISTBOX, installed on the list's
// parent over the test window's own: it counts the questions, sets the text colour it was given
// (or none) and a background colour, and returns a brush.
class ListColourAnswer {
 public:
  ListColourAnswer(HWND hParent, bool setsText, COLORREF text = 0)
      : m_hParent(hParent),
        m_setsText(setsText),
        m_text(text),
        m_hBrush(::CreateSolidBrush(RGB(250, 250, 240))) {
    ::SetPropA(hParent, kProp, this);
    m_prev = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrA(hParent, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Proc)));
  }
  ~ListColourAnswer() {
    if (::IsWindow(m_hParent)) {
      ::SetWindowLongPtrA(m_hParent, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_prev));
      ::RemovePropA(m_hParent, kProp);
    }
    ::DeleteObject(m_hBrush);
  }
  ListColourAnswer(const ListColourAnswer&) = delete;
  ListColourAnswer& operator=(const ListColourAnswer&) = delete;

  int asked = 0;
  HWND askedFor = nullptr;
  bool withADeviceContext = false;

 private:
  static constexpr const char* kProp = "KslTestListColourAnswer";
  static LRESULT CALLBACK Proc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = static_cast<ListColourAnswer*>(::GetPropA(hWnd, kProp));
    if (message == WM_CTLCOLORLISTBOX) {
      ++self->asked;
      self->askedFor = reinterpret_cast<HWND>(lParam);
      const HDC hDC = reinterpret_cast<HDC>(wParam);
      const DWORD kind = ::GetObjectType(hDC);
      self->withADeviceContext = kind == OBJ_DC || kind == OBJ_MEMDC;
      if (self->m_setsText) ::SetTextColor(hDC, self->m_text);
      ::SetBkColor(hDC, RGB(250, 250, 240));
      return reinterpret_cast<LRESULT>(self->m_hBrush);
    }
    return ::CallWindowProcA(self->m_prev, hWnd, message, wParam, lParam);
  }

  HWND m_hParent;
  bool m_setsText;
  COLORREF m_text;
  HBRUSH m_hBrush;
  WNDPROC m_prev = nullptr;
};

// The colour most of `points` show in `pixels` (CLR_INVALID for none), for failure messages.
COLORREF MostCommon(const PixelRect& pixels, const std::vector<POINT>& points) {
  std::vector<COLORREF> colours;
  for (const POINT& p : points) colours.push_back(pixels.At(p.x, p.y));
  std::sort(colours.begin(), colours.end());
  COLORREF best = CLR_INVALID;
  size_t bestRun = 0;
  for (size_t i = 0; i < colours.size();) {
    size_t j = i;
    while (j < colours.size() && colours[j] == colours[i]) ++j;
    if (j - i > bestRun) best = colours[i], bestRun = j - i;
    i = j;
  }
  return best;
}

int CountAt(const PixelRect& pixels, const std::vector<POINT>& points, COLORREF colour) {
  int n = 0;
  for (const POINT& p : points) n += pixels.At(p.x, p.y) == colour;
  return n;
}

}  // namespace

TEST(Colours, TheHostsListColourAnswerIsAskedForAtSwitchOnAndItsTextColourIsUsedExactly) {
  // A colour that stands out, and one that hardly does: both are the host's choice.
  for (COLORREF chosen : {RGB(220, 20, 20), RGB(30, 44, 70)}) {
    HostScene h(Options(3, 20, {20, 20, 320, 220}));
    ListColourAnswer answer(h.top.hWnd(), /*setsText=*/true, chosen);
    h.On();
    ::SetFocus(h.top.hWnd());
    ::UpdateWindow(h.mirror);
    EXPECT_GE(answer.asked, 1) << "the list's parent is asked as the list itself would ask it";
    EXPECT_EQ(answer.askedFor, h.list);
    EXPECT_TRUE(answer.withADeviceContext);
    Lib().SetBkColor(kGround);
    const PixelRect row = PixelRect::OfClient(h.mirror, MirrorRow(h, 0));
    const std::vector<POINT> ink = InkOn(row, kGround);
    EXPECT_GE(CountAt(row, ink, chosen), 10)
        << std::hex << "chosen " << chosen << ", the text shows mostly " << MostCommon(row, ink);
    // A text colour the host sets later replaces it, exactly as given.
    const COLORREF later = RGB(40, 46, 64);
    Lib().SetFgColor(later);
    const PixelRect again = PixelRect::OfClient(h.mirror, MirrorRow(h, 0));
    EXPECT_GE(again.Count(later), 10) << std::hex << "set later " << later;
    EXPECT_EQ(again.Count(chosen), 0) << std::hex << "the answer's " << chosen << " is gone";
  }
}

TEST(Colours, WithoutAColourFromTheHostTheTextIsWhiteOrBlackWhicheverStandsOutMoreOnTheTile) {
  // A host that does not answer, and one whose answer sets no text colour.
  for (bool answers : {false, true}) {
    const std::string context = answers ? "an answer without a text colour" : "no answer";
    HostScene h(Options(3, 20, {20, 20, 320, 220}));
    std::unique_ptr<ListColourAnswer> answer;
    if (answers) answer = std::make_unique<ListColourAnswer>(h.top.hWnd(), /*setsText=*/false);
    h.On();
    ::SetFocus(h.top.hWnd());
    const RECT rc = MirrorRow(h, 0);
    const PixelRect with = PixelRect::OfClient(h.mirror, rc);
    // The same row without its text: the tile alone.
    h.ToList(LB_DELETESTRING, 0);
    h.ToList(LB_INSERTSTRING, 0, reinterpret_cast<LPARAM>(""));
    const PixelRect without = PixelRect::OfClient(h.mirror, rc);
    const std::vector<POINT> ink = InkBetween(with, without);
    ASSERT_GT(ink.size(), 20u) << context << ": the text shows";

    double luminance = 0;
    for (int y = 0; y < without.height(); ++y)
      for (int x = 0; x < without.width(); ++x) luminance += RelativeLuminance(without.At(x, y));
    luminance /= without.width() * without.height();
    const double onWhite = 1.05 / (luminance + 0.05);
    const double onBlack = (luminance + 0.05) / 0.05;
    const COLORREF expected = onWhite >= onBlack ? kWhite : kBlack;
    EXPECT_GE(CountAt(with, ink, expected), 10)
        << context << std::hex << ": tile luminance " << luminance << ", expected text " << expected
        << ", the text shows mostly " << MostCommon(with, ink);
  }
}

TEST(Colours, ASelectedRowsTextStandsOutFromTheSelectionFill) {
  // WCAG 2's 4.5:1, or the system's own selected row's contrast where that is lower.
  const double required = std::min(
      4.5, ContrastRatio(::GetSysColor(COLOR_HIGHLIGHTTEXT), ::GetSysColor(COLOR_HIGHLIGHT)));
  struct Choice {
    const char* what;
    bool set;
    COLORREF colour;
  };
  const Choice choices[] = {{"no text colour from the host", false, 0},
                            {"black text", true, kBlack},
                            {"text in the fill's own colour", true, RGB(0, 0, 0x88)},
                            {"white text", true, kWhite}};
  for (const Choice& choice : choices) {
    HostScene h(Options(3, 20, {20, 20, 320, 220}));
    h.On();
    ::SetFocus(h.top.hWnd());
    if (choice.set) Lib().SetFgColor(choice.colour);
    h.ToList(LB_SETCURSEL, 1);
    // Inside the row's edges, away from any focus rectangle.
    RECT rc = MirrorRow(h, 1);
    ::InflateRect(&rc, -1, -1);
    const PixelRect row = PixelRect::OfClient(h.mirror, rc);
    const COLORREF fill = row.At(row.width() - 2, row.height() / 2);
    const PixelRect rightEnd =
        PixelRect::OfClient(h.mirror, {rc.right - 80, rc.top, rc.right, rc.bottom});
    ASSERT_EQ(rightEnd.Count(fill), rightEnd.width() * rightEnd.height())
        << choice.what << ": the selected row is filled";
    const std::vector<POINT> ink = InkOn(row, fill);
    int readable = 0;
    double best = 1;
    for (const POINT& p : ink) {
      const double ratio = ContrastRatio(row.At(p.x, p.y), fill);
      readable += ratio >= required;
      best = std::max(best, ratio);
    }
    EXPECT_GE(readable, 10) << choice.what << std::hex << " on the fill " << fill
                            << ": best contrast " << best << ", required " << required
                            << "; the text shows mostly " << MostCommon(row, ink);
  }
}

// ---- The font --------------------------------------------------------------------------------

TEST(Font, AFontTheHostSetsWhileOnIsRepeatedWithTheRowHeightItsListTakes) {
  Font big(24);
  struct Kind {
    const char* what;
    DWORD style;
    int rowHeight;
  };
  const Kind kinds[] = {{"a plain list", kPlainListStyle | LBS_NOINTEGRALHEIGHT, 0}};
  for (const Kind& kind : kinds) {
    Skin h(Options(5, kind.rowHeight, {20, 20, 320, 260}, false, kind.style));
    Lib().SetBkColor(kGround);
    Lib().SetFgColor(kInk);
    const LRESULT before = h.ToList(LB_GETITEMHEIGHT);
    h.ToList(WM_SETFONT, big.w(), TRUE);
    const LRESULT after = h.ToList(LB_GETITEMHEIGHT);
    if (kind.rowHeight == 0) {
      ASSERT_GT(after, before) << kind.what << ": the list's rows grew";
    }
    EXPECT_EQ(h.ToMirror(WM_GETFONT), static_cast<LRESULT>(big.w())) << kind.what;
    EXPECT_EQ(h.ToMirror(LB_GETITEMHEIGHT), after) << kind.what;
    for (int row = 0; row < 3; ++row)
      ExpectRowDrawnAsTheSystemDrawsIt(h, row, L"Item " + std::to_wstring(row), big.get(),
                                       kind.what);
  }
}

TEST(Font, TabbedRowsShowEveryColumnWhereTheHostsListShowsIt) {
  // Stops in dialog units, as hosts give them, set before switch-on and while on; rows added
  // before switch-on or after it, a font after the stops, tabbed rows scrolled into view below
  // untabbed ones; a list narrower than 400 pixels. The host's own list beside it goes through
  // the same.
  const struct {
    DWORD style;
    std::vector<INT> before, after;
    bool rowsAfter = false, fontAfter = false;
    int untabbed = 0;  // rows above and below the tabbed ones, scrolled past
  } kLists[] = {{0, {}, {}}, {LBS_USETABSTOPS, {}, {}}, {LBS_USETABSTOPS, {40, 90}, {}},
                {LBS_USETABSTOPS, {40, 90}, {24}}, {LBS_USETABSTOPS, {40, 90}, {}, true},
                {LBS_USETABSTOPS, {}, {30, 70}, true, true},
                {LBS_USETABSTOPS, {30, 70}, {}, false, false, 9}};
  Font font(13);
  for (const auto& list : kLists) {
    const DWORD style = kPlainListStyle | LBS_NOINTEGRALHEIGHT | list.style;
    Skin h(Options(0, 20, {20, 20, 260, 160}, false, style));
    const HWND twin = MakeChild(h.top.hWnd(), 101, style, 280, 20, 240, 140);
    auto stops = [](HWND hList, const std::vector<INT>& at) {
      if (!at.empty()) ::SendMessageA(hList, LB_SETTABSTOPS, at.size(), (LPARAM)at.data());
    };
    const char* const tabbed[] = {"ALPHA\t1", "B\t22\t333", "\tlast"};
    auto rows = [&] {
      for (HWND hList : {h.list, twin})
        for (int i = -list.untabbed; i < 3 + list.untabbed; ++i)
          ::SendMessageA(hList, LB_ADDSTRING, 0, (LPARAM)(i >= 0 && i < 3 ? tabbed[i] : "none"));
    };
    if (!list.rowsAfter) rows();
    stops(h.list, list.before);
    h.Off();
    h.On();
    Lib().SetBkColor(::GetSysColor(COLOR_WINDOW));
    Lib().SetFgColor(::GetSysColor(COLOR_WINDOWTEXT));
    stops(h.list, list.after);
    stops(twin, list.after.empty() ? list.before : list.after);
    for (HWND hList : {h.list, twin}) {
      if (list.fontAfter) ::SendMessageA(hList, WM_SETFONT, font.w(), TRUE);
      ::SendMessageA(hList, LB_SETITEMHEIGHT, 0, 20);
    }
    if (list.rowsAfter) rows();
    Pump();
    for (HWND hList : {h.list, twin}) ::SendMessageA(hList, LB_SETTOPINDEX, list.untabbed, 0);
    for (int row = 0; row < 3; ++row) {
      const RECT part = {0, row * 20, 210, row * 20 + 20};  // left of either's scroll bar
      const InkDifference diff =
          CompareInk(InkOn(PixelRect::OfClient(h.mirror, part), ::GetSysColor(COLOR_WINDOW)),
                     InkOn(PixelRect::OfClient(twin, part), ::GetSysColor(COLOR_WINDOW)));
      EXPECT_EQ(diff.count, 0) << "list " << (&list - kLists) << ", row " << row << diff.sample;
    }
  }
}

// ---- A list the host destroys ----------------------------------------------------------------

TEST(DestroyedList, TheSkinHidesAtOnceAndTheHostsNextListIsSeenThenSkinnedAsUsual) {
  constexpr COLORREF kSkin = RGB(200, 0, 200);
  const RECT place = {0, 0, 300, 200};
  const int area = 300 * 200;
  for (Reference where : {Reference::kContainer, Reference::kList}) {
    const std::string context = where == Reference::kList ? "the list as reference" : "container";
    SceneOptions o = Options(20, 0, place);
    o.reference = where;
    Skin h(o);
    Lib().SetBkColor(kSkin);
    ASSERT_GT(PixelRect::ShownAt(h.top.hWnd(), place).Count(kSkin), area / 2) << context;

    ::DestroyWindow(h.list);
    EXPECT_FALSE(::IsWindowVisible(h.panel)) << context << ": hidden at once";
    const PixelRect left = PixelRect::ShownAt(h.top.hWnd(), place);
    EXPECT_EQ(left.Count(kSkin), 0) << context << ": nothing of the skin shows";
    EXPECT_EQ(left.Count(::GetSysColor(COLOR_BTNFACE)), area)
        << context << ": the place shows the window under it";
    // The host makes a new list at the same place; a README host lays its container after it.
    HWND fresh = MakeChild(h.top.hWnd(), 100, kPlainListStyle | LBS_NOINTEGRALHEIGHT, place.left,
                           place.top, 300, 200);
    AddItems(fresh, 5, "New ");
    if (where == Reference::kContainer)
      ::SetWindowPos(h.container, fresh, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    ::RedrawWindow(h.top.hWnd(), nullptr, nullptr,
                   RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    // The host still takes the skin for on: its setters answer as ever, and paint nothing over
    // the new list.
    constexpr COLORREF kLater = RGB(1, 2, 3);
    EXPECT_EQ(Lib().SetBkColor(kLater), 1);
    EXPECT_EQ(Lib().SetFgColor(RGB(4, 5, 6)), 1);
    EXPECT_EQ(Lib().SetBkBmp(WriteCoordinateBitmap("gone.bmp", 16, 16).c_str()), 1);
    EXPECT_EQ(Lib().SetBkColor(kLater), 1);
    const PixelRect seen = PixelRect::ShownAt(h.top.hWnd(), place);
    EXPECT_EQ(seen.Count(kSkin) + seen.Count(kLater), 0)
        << context << ": the new list is not covered";
    EXPECT_GT(seen.Count(::GetSysColor(COLOR_WINDOW)), area / 2)
        << context << ": the new list shows its own ground";
    POINT centre = {150, 100};
    ::ClientToScreen(h.top.hWnd(), &centre);
    EXPECT_EQ(::WindowFromPoint(centre), fresh) << context << ": the user's clicks reach it";

    // The host's next call switches off, as it would have with its old list.
    EXPECT_EQ(Lib().CreateHook(nullptr, nullptr), 0);
    EXPECT_EQ(FindPanel(h.container), nullptr) << context << ": the panel is gone";
    EXPECT_TRUE(::IsWindowVisible(fresh)) << context;
    // And the one after switches on over the new list.
    Lib().CreateHook(where == Reference::kList ? fresh : h.reference, fresh);
    const HWND mirror = MirrorOf(FindPanel(h.container));
    ASSERT_NE(mirror, nullptr) << context;
    EXPECT_FALSE(UserMeets(fresh)) << context;
    EXPECT_EQ(ItemsOf(mirror), ItemsOf(fresh)) << context;
    Lib().CreateHook(nullptr, nullptr);
    EXPECT_TRUE(::IsWindowVisible(fresh)) << context;
  }
}

// ---- Lists without data of their own ---------------------------------------------------------

namespace {

constexpr DWORD kNoDataStyle = WS_CHILD | WS_VISIBLE | WS_VSCROLL | LBS_NOTIFY | LBS_NODATA |
                               LBS_OWNERDRAWFIXED | LBS_NOINTEGRALHEIGHT;

}  // namespace

TEST(NoData, TheMirrorHasAsManyRowsAsTheHostsListBeforeAndWhileOn) {
  HostScene h(Options(0, 18, {20, 20, 320, 220}, false, kNoDataStyle));
  ASSERT_NE(h.ToList(LB_SETCOUNT, 1000), LB_ERR);
  ASSERT_EQ(h.ToList(LB_GETCOUNT), 1000);
  h.On();
  EXPECT_EQ(h.ToMirror(LB_GETCOUNT), 1000) << "at switch-on";
  for (int count : {500, 1200, 0, 3, 1200}) {
    h.ToList(LB_SETCOUNT, count);
    ASSERT_EQ(h.ToList(LB_GETCOUNT), count);
    Pump();
    EXPECT_EQ(h.ToMirror(LB_GETCOUNT), count) << "after LB_SETCOUNT " << count;
  }
  // Rows far down exist in the mirror: it scrolls and selects there with the host's list.
  h.ToList(LB_SETTOPINDEX, 1090);
  h.ToList(LB_SETCURSEL, 1100);
  Pump();
  EXPECT_EQ(h.ToMirror(LB_GETCURSEL), 1100);
  EXPECT_EQ(h.ToMirror(LB_GETTOPINDEX), h.ToList(LB_GETTOPINDEX));
  // Whatever the host's list makes of the item messages, the mirror keeps its count.
  struct Edit {
    const char* what;
    UINT message;
    WPARAM wParam;
  };
  const Edit edits[] = {{"append", LB_ADDSTRING, 0},
                        {"insert", LB_INSERTSTRING, 5},
                        {"delete", LB_DELETESTRING, 2},
                        {"empty", LB_RESETCONTENT, 0},
                        {"append to an empty list", LB_ADDSTRING, 0}};
  for (const Edit& edit : edits) {
    h.ToList(edit.message, edit.wParam, 7);
    Pump();
    EXPECT_EQ(h.ToMirror(LB_GETCOUNT), h.ToList(LB_GETCOUNT)) << edit.what;
  }
}

TEST(NoData, ACountSetOnAListThatKeepsItsItemsChangesNeitherList) {
  HostScene h(Options(10, 0, {20, 20, 320, 220}));
  h.On();
  EXPECT_EQ(h.ToList(LB_SETCOUNT, 50), LB_ERR) << "the host's list refuses it";
  EXPECT_EQ(h.ToList(LB_GETCOUNT), 10);
  EXPECT_EQ(ItemsOf(h.mirror), ItemsOf(h.list));
}

// ---- Rows the host draws itself ----------------------------------------------------------------

namespace {

constexpr COLORREF kIcon = RGB(200, 30, 30);
// kInTheListsDc draws its text in whatever font and colours the DC it is lent has.
// kClearType gives the icon's edges and the smoothed text ClearType's fringes.
enum class Drawing { kAsUsual, kNothing, kLeavingTheDcChanged, kInTheListsDc, kClearType };
constexpr COLORREF kLentInk = RGB(0, 0, 160);
Drawing g_drawing = Drawing::kAsUsual;
WNDPROC g_hostProc = nullptr;
int g_colourAsks = 0;  // the host's WM_CTLCOLORLISTBOX answers

// The host's own drawing of a row: its background, a small icon, and the row's name (its item
// data) in black, or in the highlight colours on a selected row.
LRESULT CALLBACK DrawingHost(HWND h, UINT m, WPARAM w, LPARAM l) {
  g_colourAsks += m == WM_CTLCOLORLISTBOX;
  if (m == WM_CTLCOLORLISTBOX && g_drawing == Drawing::kInTheListsDc) {
    ::SetTextColor(reinterpret_cast<HDC>(w), kLentInk);
    return reinterpret_cast<LRESULT>(::GetSysColorBrush(COLOR_WINDOW));
  }
  if (m != WM_DRAWITEM) return ::CallWindowProcA(g_hostProc, h, m, w, l);
  const auto* d = reinterpret_cast<const DRAWITEMSTRUCT*>(l);
  if (g_drawing == Drawing::kNothing) return TRUE;
  const bool selected = (d->itemState & ODS_SELECTED) != 0;
  ::FillRect(d->hDC, &d->rcItem, ::GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
  const RECT& rc = d->rcItem;
  const RECT icon = {rc.left + 2, rc.top + 2, rc.left + 12, rc.top + 12};
  HBRUSH red = ::CreateSolidBrush(kIcon);
  ::FillRect(d->hDC, &icon, red);
  ::DeleteObject(red);
  char name[32];
  ::wsprintfA(name, "File %u", static_cast<unsigned>(d->itemData));
  ::SetBkMode(d->hDC, TRANSPARENT);
  if (g_drawing != Drawing::kInTheListsDc)
    ::SetTextColor(d->hDC, selected ? ::GetSysColor(COLOR_HIGHLIGHTTEXT) : kBlack);
  ::TextOutA(d->hDC, d->rcItem.left + 16, d->rcItem.top + 2, name, ::lstrlenA(name));
  for (int y = rc.top; g_drawing == Drawing::kClearType && y < rc.bottom; ++y) {
    COLORREF left = ::GetPixel(d->hDC, 0, y), at = ::GetPixel(d->hDC, 1, y), right;
    for (int x = 1; x < 90; ++x, left = at, at = right) {  // each channel a third of a pixel on
      right = ::GetPixel(d->hDC, x + 1, y);
      ::SetPixelV(d->hDC, x, y, RGB((2 * GetRValue(at) + GetRValue(left)) / 3, GetGValue(at),
                                    (2 * GetBValue(at) + GetBValue(right)) / 3));
    }
  }
  if (g_drawing == Drawing::kLeavingTheDcChanged) {
    ::SelectObject(d->hDC, ::GetStockObject(BLACK_BRUSH));
    ::SetROP2(d->hDC, R2_NOT);
    ::SetTextColor(d->hDC, kIcon);
    ::SetViewportOrgEx(d->hDC, 40, 40, nullptr);
  }
  return TRUE;
}

}  // namespace

TEST(HostDrawnRows, TheHostsRowsShowOverTheTileWhereItPaintedItsBackgroundAndStayReadable) {
  const DWORD base = WS_CHILD | WS_VISIBLE | WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT;
  const struct {
    const char* what;
    DWORD style;
    Drawing drawing;
  } kHosts[] = {
      {"owner-drawn without texts", base | LBS_OWNERDRAWFIXED, Drawing::kAsUsual},
      {"owner-drawn with texts", base | LBS_OWNERDRAWFIXED | LBS_HASSTRINGS, Drawing::kAsUsual},
      {"rows of many heights", base | LBS_OWNERDRAWVARIABLE | LBS_HASSTRINGS, Drawing::kAsUsual},
      {"a host leaving the DC changed", base | LBS_OWNERDRAWFIXED, Drawing::kLeavingTheDcChanged},
      {"a host drawing nothing", base | LBS_OWNERDRAWFIXED, Drawing::kNothing},
      {"a host drawing in the DC it is lent", base | LBS_OWNERDRAWFIXED | LBS_HASSTRINGS,
       Drawing::kInTheListsDc},
      {"ClearType fringes, on the icon too", base | LBS_OWNERDRAWFIXED, Drawing::kClearType},
  };
  Font listsFont(15, L"DejaVu Sans", ANTIALIASED_QUALITY);
  GdiCount& count = CountLibraryGdi(Lib().hModule);
  const GdiCount start = count;
  for (const auto& kind : kHosts) {
    HostScene h(Options(0, 20, {20, 20, 320, 220}, false, kind.style));
    h.ToList(WM_SETFONT, listsFont.w(), FALSE);
    g_hostProc = reinterpret_cast<WNDPROC>(::SetWindowLongPtrA(
        h.top.hWnd(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&DrawingHost)));
    for (int i = 0; i < 6; ++i) {
      const LRESULT at = h.ToList(LB_ADDSTRING, 0, reinterpret_cast<LPARAM>("row"));
      h.ToList(LB_SETITEMDATA, at, 100 + i);
      h.ToList(LB_SETITEMHEIGHT, at, 20);
    }
    g_drawing = kind.drawing;
    if (kind.drawing != Drawing::kNothing) h.ToList(LB_SETCURSEL, 2);
    Pump();
    const bool draws = kind.drawing != Drawing::kNothing;
    // The host's own list as the reference (a host that leaves its DC changed spoils its own list's
    // next rows: the skin gives each row a fresh one).
    if (kind.drawing == Drawing::kAsUsual) {
      ASSERT_EQ(PixelAt(h.list, 7, 20 + 7), kIcon) << kind.what << ": the host draws";
    }
    // Where the host's own list shows the ink of rows 0 and 1: the skin's shows it there too.
    auto inkOf = [](HWND hList, COLORREF ink) {
      const PixelRect rows = PixelRect::OfClient(hList, {16, 0, 200, 40});
      std::vector<POINT> at;
      for (int y = 0; y < rows.height(); ++y)
        for (int x = 0; x < rows.width(); ++x)
          if (rows.At(x, y) == ink) at.push_back({x, y});
      return at;
    };
    const COLORREF coreInk = kind.drawing == Drawing::kInTheListsDc ? kLentInk : kBlack;
    const std::vector<POINT> listsInk = inkOf(h.list, coreInk);
    // The host is asked for its colours no more often in a repaint of all the rows than by its own
    // list (once a paint, not once a row).
    auto asksToRepaint = [](HWND hList) {
      g_colourAsks = 0;
      ::RedrawWindow(hList, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
      return g_colourAsks;
    };
    const int listsAsks = asksToRepaint(h.list);
    h.On();
    Lib().SetBkColor(kGround);
    Pump();
    const PixelRect shown = PixelRect::OfClient(h.mirror, ClientOf(h.mirror));
    for (int row = 0; row < 6; ++row) {
      const int top = row * 20;
      EXPECT_EQ(shown.At(7, top + 7), draws ? kIcon : kGround) << kind.what << ", row " << row;
      const COLORREF under = shown.At(250, top + 10);
      if (!draws) {
        EXPECT_EQ(under, kGround) << kind.what << ": the tile where the host drew nothing";
        continue;
      }
      // Row 2 is selected: the host draws it in its highlight colours, the skin shows its own
      // selection under the host's text.
      const COLORREF inkColour = row == 2 && kind.drawing != Drawing::kInTheListsDc
                                     ? ::GetSysColor(COLOR_HIGHLIGHTTEXT)
                                     : coreInk;
      EXPECT_NE(under, ::GetSysColor(row == 2 ? COLOR_HIGHLIGHT : COLOR_WINDOW))
          << kind.what << ", row " << row << ": the skin's, not the host's";
      EXPECT_GE(GetBValue(under), GetRValue(under)) << kind.what << ": the tile, lightened";
      EXPECT_GE(ContrastRatio(inkColour, under), 4.5) << kind.what << ", row " << row;
      bool ink = false;
      for (int x = 16; x < 60 && !ink; ++x)
        for (int y = top + 2; y < top + 16 && !ink; ++y) ink = shown.At(x, y) == inkColour;
      EXPECT_TRUE(ink || kind.drawing == Drawing::kClearType) << kind.what << ", row " << row;
      // Smoothed edges are blends of the ink (the text's, the icon's) and what is under the row,
      // channel by channel, never of the host's ground (a halo).
      const PixelRect ground(shown.width(), shown.height(), under);
      EXPECT_EQ(HaloPixels(shown, ground, {0, top, 250, top + 20}, {inkColour, kIcon}), 0)
          << kind.what << ", row " << row;
    }
    EXPECT_LE(asksToRepaint(h.mirror), listsAsks) << kind.what << ": the host's colours asked";
    if (draws && kind.drawing != Drawing::kLeavingTheDcChanged) {
      EXPECT_EQ(CompareInk(inkOf(h.mirror, coreInk), listsInk).count, 0)
          << kind.what << ": the text is drawn in the list's font and colour";
    }
    h.Off();
    ::SetWindowLongPtrA(h.top.hWnd(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_hostProc));
  }
  g_drawing = Drawing::kAsUsual;
  EXPECT_EQ(count.created - start.created, count.deleted - start.deleted)
      << "the rows' pictures went";
}
