// Bitmap files as the skin's tile: every kind of file the library accepts shows exactly the pixels
// it holds, in either row order, and a file that is cut short or lies about itself changes nothing.
// One picture as BMP, PNG, JPEG or GIF is one skin, transparent over the list, at the window's DPI.
#include <gtest/gtest.h>
#include <process.h>
#include <wincodec.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "GdiCounter.h"
#include "HostKit.h"

using namespace host;

namespace {

// How a test file is laid out.
struct Format {
  const char* name;
  int headerSize;     // 12 (core header), 40, 52, 56, 108 or 124
  int bits;           // bits per pixel
  DWORD compression;  // BI_RGB, BI_BITFIELDS, BI_RLE8 or BI_RLE4
  bool topDown;
  int colours;        // colour table entries (8 bits per pixel or fewer)
  int width;
  int height;
};

constexpr DWORD k555[3] = {0x7C00, 0x03E0, 0x001F};
constexpr DWORD k565[3] = {0xF800, 0x07E0, 0x001F};
constexpr DWORD k888[3] = {0xFF0000, 0x00FF00, 0x0000FF};

// Widths that leave padding at the end of every row, heights that are not a power of two.
const Format kFormats[] = {
    {"1 bit", 40, 1, BI_RGB, false, 2, 37, 19},
    {"1 bit, top-down", 40, 1, BI_RGB, true, 2, 37, 19},
    {"4 bits", 40, 4, BI_RGB, false, 16, 29, 17},
    {"4 bits, top-down", 40, 4, BI_RGB, true, 16, 29, 17},
    {"4 bits, 9 colours", 40, 4, BI_RGB, false, 9, 29, 17},
    {"8 bits", 40, 8, BI_RGB, false, 256, 23, 21},
    {"8 bits, top-down", 40, 8, BI_RGB, true, 256, 23, 21},
    {"8 bits, 40 colours, top-down", 40, 8, BI_RGB, true, 40, 23, 21},
    {"8 bits run-length", 40, 8, BI_RLE8, false, 50, 45, 13},
    {"4 bits run-length", 40, 4, BI_RLE4, false, 16, 45, 13},
    {"16 bits 5-5-5", 40, 16, BI_RGB, false, 0, 31, 23},
    {"16 bits 5-5-5, top-down", 40, 16, BI_RGB, true, 0, 31, 23},
    {"16 bits 5-6-5 bit fields", 40, 16, BI_BITFIELDS, false, 0, 31, 29},
    {"16 bits 5-6-5 bit fields, top-down", 40, 16, BI_BITFIELDS, true, 0, 31, 29},
    {"24 bits", 40, 24, BI_RGB, false, 0, 37, 19},
    {"24 bits, top-down", 40, 24, BI_RGB, true, 0, 37, 19},
    {"32 bits", 40, 32, BI_RGB, false, 0, 33, 17},
    {"32 bits, top-down", 40, 32, BI_RGB, true, 0, 33, 17},
    {"32 bits bit fields", 40, 32, BI_BITFIELDS, false, 0, 33, 17},
    {"32 bits bit fields, top-down", 40, 32, BI_BITFIELDS, true, 0, 33, 17},
    {"core header, 24 bits", 12, 24, BI_RGB, false, 0, 37, 19},
    {"core header, 8 bits", 12, 8, BI_RGB, false, 256, 23, 21},
    {"core header, 1 bit", 12, 1, BI_RGB, false, 2, 37, 19},
    {"52-byte header, 16 bits 5-6-5", 52, 16, BI_BITFIELDS, false, 0, 31, 29},
    {"56-byte header, 16 bits 5-6-5, top-down", 56, 16, BI_BITFIELDS, true, 0, 31, 29},
    {"V4 header, 16 bits 5-6-5", 108, 16, BI_BITFIELDS, false, 0, 31, 29},
    {"V4 header, 24 bits, top-down", 108, 24, BI_RGB, true, 0, 37, 19},
    {"V5 header, 8 bits, top-down", 124, 8, BI_RGB, true, 256, 23, 21},
    {"V5 header, 32 bits bit fields", 124, 32, BI_BITFIELDS, false, 0, 33, 17},
};

// The red, green and blue masks of a format's pixels: 5-6-5 for 16-bit bit fields.
const DWORD* MasksOf(const Format& f) {
  if (f.bits == 16) return f.compression == BI_BITFIELDS ? k565 : k555;
  return k888;
}

// A bitmap file's bytes, and the colour each of its pixels stands for.
struct TestFile {
  std::vector<uint8_t> bytes;
  int width = 0;
  int height = 0;
  std::vector<COLORREF> pixels;  // the top row first
  COLORREF At(int u, int v) const { return pixels[static_cast<size_t>(v) * width + u]; }
};

COLORREF PaletteColour(int i) {
  // 37 is odd, so the red channel alone tells all 256 entries apart.
  return RGB((i * 37 + 11) & 255, (i * 91 + 7) & 255, (i * 53 + 200) & 255);
}

// Colour table indices: mixed for the plain formats; runs and mixed stretches for run-length data.
int IndexAt(const Format& f, int u, int v) {
  if (f.compression == BI_RLE8 || f.compression == BI_RLE4)
    return (u % 9 < 5 ? u / 9 + v : u * 7 + v * 3) % f.colours;
  return (u * 7 + v * 13 + (u * v) % 5) % f.colours;
}

int MaskShift(DWORD mask) {
  int shift = 0;
  while (mask != 0 && (mask & 1) == 0) mask >>= 1, ++shift;
  return shift;
}
int MaskWidth(DWORD mask) {
  int width = 0;
  for (mask >>= MaskShift(mask); mask & 1; mask >>= 1) ++width;
  return width;
}
// An n-bit channel value widened to 8 bits as GDI widens it: its top bits repeated below it.
int Widen(int value, int bits) {
  return bits >= 8 ? value : (value << (8 - bits)) | (value >> (2 * bits - 8));
}

// A coordinate tile: red from the column, green from the row, blue from both. Channels narrower
// than 8 bits take the coordinates themselves, so that a neighbour's colour always differs.
DWORD RawDirectPixel(const Format& f, int u, int v, COLORREF* shown) {
  const DWORD* masks = MasksOf(f);
  const int wide[3] = {(u * 6) & 255, (v * 10) & 255, (u + v * 3) & 255};
  const int narrow[3] = {u, v, u + 2 * v};
  DWORD raw = 0;
  int channel[3];
  for (int c = 0; c < 3; ++c) {
    const int width = MaskWidth(masks[c]);
    const int value = width >= 8 ? wide[c] : narrow[c] % (1 << width);
    raw |= static_cast<DWORD>(value) << MaskShift(masks[c]);
    channel[c] = Widen(value, width);
  }
  *shown = RGB(channel[0], channel[1], channel[2]);
  return raw;
}

void Append(std::vector<uint8_t>& out, const void* data, size_t n) {
  const auto* p = static_cast<const uint8_t*>(data);
  out.insert(out.end(), p, p + n);
}

// Run-length data, bottom row first: repeated pixels (or, with 4 bits, pairs) as runs, mixed
// stretches of three or more as literal pixels, every row closed, the bitmap closed.
std::vector<uint8_t> RunLengthData(const Format& f) {
  const bool four = f.compression == BI_RLE4;
  std::vector<uint8_t> out;
  for (int row = 0; row < f.height; ++row) {
    const int v = f.height - 1 - row;
    std::vector<int> line(f.width);
    for (int u = 0; u < f.width; ++u) line[u] = IndexAt(f, u, v);
    // How many pixels from u a run covers: one repeated index, or two alternating ones.
    auto runFrom = [&](int u) {
      int n = 1;
      const int second = four && u + 1 < f.width ? line[u + 1] : line[u];
      while (u + n < f.width && n < 255 && line[u + n] == (n % 2 ? second : line[u])) ++n;
      return n;
    };
    const int worthARun = four ? 3 : 2;
    for (int u = 0; u < f.width;) {
      const int run = runFrom(u);
      if (run >= worthARun || f.width - u < 3) {
        const int second = four && u + 1 < f.width ? line[u + 1] : line[u];
        out.push_back(static_cast<uint8_t>(run));
        out.push_back(static_cast<uint8_t>(four ? (line[u] << 4) | second : line[u]));
        u += run;
        continue;
      }
      int n = 3;
      while (u + n < f.width && n < 255 && runFrom(u + n) < worthARun) ++n;
      out.push_back(0);
      out.push_back(static_cast<uint8_t>(n));
      const size_t start = out.size();
      for (int k = 0; k < n; ++k) {
        if (!four) {
          out.push_back(static_cast<uint8_t>(line[u + k]));
        } else if (k % 2 == 0) {
          out.push_back(static_cast<uint8_t>(line[u + k] << 4));
        } else {
          out.back() |= static_cast<uint8_t>(line[u + k]);
        }
      }
      if ((out.size() - start) % 2) out.push_back(0);  // literal stretches end on a 16-bit boundary
      u += n;
    }
    out.push_back(0);
    out.push_back(row + 1 < f.height ? 0 : 1);
  }
  return out;
}

std::vector<uint8_t> PlainPixelData(const Format& f) {
  const int stride = ((f.width * f.bits + 31) / 32) * 4;
  std::vector<uint8_t> out(static_cast<size_t>(stride) * f.height, 0);
  for (int row = 0; row < f.height; ++row) {
    const int v = f.topDown ? row : f.height - 1 - row;
    uint8_t* line = &out[static_cast<size_t>(row) * stride];
    for (int u = 0; u < f.width; ++u) {
      if (f.bits <= 8) {
        const int bit = u * f.bits;
        line[bit / 8] |= static_cast<uint8_t>(IndexAt(f, u, v) << (8 - f.bits - bit % 8));
        continue;
      }
      COLORREF ignored;
      const DWORD raw = RawDirectPixel(f, u, v, &ignored);
      // Little-endian: 24-bit pixels come out as blue, green, red.
      std::memcpy(&line[u * f.bits / 8], &raw, f.bits / 8);
    }
  }
  return out;
}

TestFile MakeFile(const Format& f) {
  TestFile file;
  file.width = f.width;
  file.height = f.height;
  for (int v = 0; v < f.height; ++v) {
    for (int u = 0; u < f.width; ++u) {
      COLORREF shown;
      if (f.bits <= 8)
        shown = PaletteColour(IndexAt(f, u, v));
      else
        RawDirectPixel(f, u, v, &shown);
      file.pixels.push_back(shown);
    }
  }
  const bool runLength = f.compression == BI_RLE8 || f.compression == BI_RLE4;
  const std::vector<uint8_t> pixels = runLength ? RunLengthData(f) : PlainPixelData(f);

  std::vector<uint8_t> header;
  if (f.headerSize == 12) {
    const BITMAPCOREHEADER core = {12, static_cast<WORD>(f.width), static_cast<WORD>(f.height), 1,
                                   static_cast<WORD>(f.bits)};
    Append(header, &core, sizeof core);
  } else {
    BITMAPV5HEADER v5 = {};
    v5.bV5Size = static_cast<DWORD>(f.headerSize);
    v5.bV5Width = f.width;
    v5.bV5Height = f.topDown ? -f.height : f.height;
    v5.bV5Planes = 1;
    v5.bV5BitCount = static_cast<WORD>(f.bits);
    v5.bV5Compression = f.compression;
    v5.bV5SizeImage = static_cast<DWORD>(pixels.size());
    v5.bV5ClrUsed = f.bits <= 8 && f.colours < (1 << f.bits) ? static_cast<DWORD>(f.colours) : 0;
    if (f.compression == BI_BITFIELDS) {
      v5.bV5RedMask = MasksOf(f)[0];
      v5.bV5GreenMask = MasksOf(f)[1];
      v5.bV5BlueMask = MasksOf(f)[2];
    }
    v5.bV5CSType = 0x73524742;  // 'sRGB'
    v5.bV5Intent = LCS_GM_IMAGES;
    Append(header, &v5, static_cast<size_t>(f.headerSize));
    // Behind a 40-byte header the masks follow it.
    if (f.headerSize == 40 && f.compression == BI_BITFIELDS) Append(header, MasksOf(f), 12);
  }
  for (int i = 0; f.bits <= 8 && i < f.colours; ++i) {
    const COLORREF c = PaletteColour(i);
    const uint8_t entry[4] = {GetBValue(c), GetGValue(c), GetRValue(c), 0};
    Append(header, entry, f.headerSize == 12 ? 3 : 4);
  }

  BITMAPFILEHEADER fh = {};
  fh.bfType = 0x4D42;
  fh.bfOffBits = static_cast<DWORD>(sizeof fh + header.size());
  fh.bfSize = fh.bfOffBits + static_cast<DWORD>(pixels.size());
  Append(file.bytes, &fh, sizeof fh);
  Append(file.bytes, header.data(), header.size());
  Append(file.bytes, pixels.data(), pixels.size());
  return file;
}

std::string Save(const std::string& name, const std::vector<uint8_t>& bytes) {
  const std::string path = ScratchPath(name);
  FILE* out = std::fopen(path.c_str(), "wb");
  std::fwrite(bytes.data(), 1, bytes.size(), out);
  std::fclose(out);
  return path;
}

std::string Describe(COLORREF c) {
  char text[16];
  std::snprintf(text, sizeof text, "#%02X%02X%02X", GetRValue(c), GetGValue(c), GetBValue(c));
  return text;
}

// A path in a scratch folder whose name no Western ANSI code page holds.
std::wstring UnicodePath(const std::string& name) {
  const std::string scratch = ScratchPath("");
  const std::wstring folder =
      std::wstring(scratch.begin(), scratch.end()) + L"\u7d75\u30bf\u30a4\u30eb";
  ::CreateDirectoryW(folder.c_str(), nullptr);
  return folder + L"\\" + std::wstring(name.begin(), name.end());
}

std::wstring SaveW(const std::wstring& path, const std::vector<uint8_t>& bytes) {
  FILE* out = _wfopen(path.c_str(), L"wb");
  std::fwrite(bytes.data(), 1, bytes.size(), out);
  std::fclose(out);
  return path;
}

// The test picture: 32 x 16 pixels in 8 x 8 blocks of flat colour (JPEG keeps their insides). With
// alpha, block 0 is clear and block 1 half clear; with a transparent colour (GIF), block 0 clear.
constexpr int kPicW = 32, kPicH = 16;
const COLORREF kBlockColours[8] = {RGB(200, 30, 40),  RGB(30, 160, 60), RGB(40, 60, 210),
                                   RGB(230, 200, 30), RGB(20, 20, 20),  RGB(240, 240, 240),
                                   RGB(150, 40, 170), RGB(40, 170, 170)};
enum Alpha { kOpaque, kHalf, kTransparentColour };
int BlockAt(int u, int v) { return u % kPicW / 8 + 4 * (v % kPicH / 8); }
int AlphaAt(int u, int v, Alpha alpha) {
  const int block = alpha == kOpaque ? 2 : BlockAt(u, v);
  return block == 0 ? 0 : block == 1 && alpha == kHalf ? 128 : 255;
}
// The test picture as the system's encoder writes it: PNG keeps the alpha, JPEG takes 24 bits a
// pixel, GIF the blocks' colours as its palette, colour 0 transparent by a graphic control block
// where asked; as a BMP, made by hand.
std::vector<uint8_t> Encoded(const GUID& container, Alpha alpha) {
  std::vector<uint32_t> pixels;  // the top row first, as BGRA with straight alpha
  for (int i = 0; i < kPicW * kPicH; ++i)
    pixels.push_back(_byteswap_ulong(kBlockColours[BlockAt(i % kPicW, i / kPicW)]) >> 8 |
                     AlphaAt(i % kPicW, i / kPicW, alpha) << 24);
  if (IsEqualGUID(container, GUID_ContainerFormatBmp)) {  // made here: 32 bits, an alpha mask
    std::vector<uint8_t> bytes = MakeFile({"", 124, 32, BI_BITFIELDS, true, 0, kPicW, kPicH}).bytes;
    bytes[14 + 55] = 0xFF;  // the alpha mask, 0xFF000000
    std::memcpy(&bytes[bytes.size() - pixels.size() * 4], pixels.data(), pixels.size() * 4);
    return bytes;
  }
  ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  const std::wstring path = UnicodePath("encoded");
  IWICImagingFactory* factory = nullptr;
  IWICStream* stream = nullptr;
  IWICBitmapEncoder* encoder = nullptr;
  IWICBitmapFrameEncode* frame = nullptr;
  IWICPalette* palette = nullptr;
  ::CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                     reinterpret_cast<void**>(&factory));
  factory->CreateStream(&stream);
  stream->InitializeFromFilename(path.c_str(), GENERIC_WRITE);
  factory->CreateEncoder(container, nullptr, &encoder);
  encoder->Initialize(stream, WICBitmapEncoderNoCache);
  encoder->CreateNewFrame(&frame, nullptr);
  frame->Initialize(nullptr);
  frame->SetSize(kPicW, kPicH);
  const bool gif = IsEqualGUID(container, GUID_ContainerFormatGif);
  WICPixelFormatGUID format = gif ? GUID_WICPixelFormat8bppIndexed : GUID_WICPixelFormat32bppBGRA;
  frame->SetPixelFormat(&format);
  WICColor colours[8];
  for (int i = 0; i < 8; ++i) colours[i] = 0xFF000000 | _byteswap_ulong(kBlockColours[i]) >> 8;
  factory->CreatePalette(&palette);
  palette->InitializeCustom(colours, 8);
  if (gif) frame->SetPalette(palette);
  const int size = gif ? 1 : IsEqualGUID(format, GUID_WICPixelFormat24bppBGR) ? 3 : 4;
  auto* bytes = reinterpret_cast<uint8_t*>(pixels.data());
  for (int i = 0; i < kPicW * kPicH && size < 4; ++i)  // packed in place
    size == 1 ? void(bytes[i] = BlockAt(i % kPicW, i / kPicW))
              : void(std::memmove(bytes + 3 * i, bytes + 4 * i, 3));
  frame->WritePixels(kPicH, kPicW * size, kPicW * kPicH * size, bytes);
  frame->Commit();
  encoder->Commit();
  for (IUnknown* object :
       std::initializer_list<IUnknown*>{palette, frame, encoder, stream, factory})
    object->Release();
  std::vector<uint8_t> file(1 << 16);
  FILE* in = _wfopen(path.c_str(), L"rb");
  file.resize(std::fread(file.data(), 1, file.size(), in));
  std::fclose(in);
  if (gif && alpha != kOpaque) file.insert(file.begin() + 13, {0x21, 0xF9, 4, 1, 0, 0, 0, 0});
  return file;
}

// The points of the first two by two pictures a mirror shows that are not the test picture over
// `back` within `tolerance`; with a tolerance (JPEG's), inside the blocks only.
int WrongPoints(HWND mirror, Alpha alpha, COLORREF back, int tolerance) {
  const ClientPixels shown(mirror);
  int wrong = 0;
  for (int y = 0; y < 2 * kPicH; ++y) {
    for (int x = 0; x < 2 * kPicW; ++x) {
      if (tolerance > 1 && (x % 8 < 2 || x % 8 > 5 || y % 8 < 2 || y % 8 > 5)) continue;
      const int a = AlphaAt(x, y, alpha);
      for (int shift : {0, 8, 16}) {
        const int over = kBlockColours[BlockAt(x, y)] >> shift & 255, under = back >> shift & 255;
        const int seen = shown.At(x, y) >> shift & 255;
        wrong += std::abs(seen - (over * a + under * (255 - a) + 127) / 255) > tolerance;
      }
    }
  }
  return wrong;
}

SceneOptions EmptyList() {
  SceneOptions o;
  o.items = 0;
  o.place = {30, 40, 330, 240};
  return o;
}

// A host window with an empty list at (30, 40), skinned in the README's layout: the mirror shows
// nothing but the tile grid, from its client origin.
struct EmptySkin : HostScene {
  EmptySkin() : HostScene(EmptyList()) {
    On();
    ::SetFocus(top.hWnd());
    ::UpdateWindow(mirror);
  }
};

// Loads each file as the tile and compares the first two by two tiles shown with the pixels the
// file holds. A colour painted first tells a file that did not load from one that did.
void ExpectEachShowsItsPixels(bool topDown) {
  EmptySkin skin;
  ASSERT_NE(skin.mirror, nullptr);
  int tried = 0;
  for (const Format& f : kFormats) {
    if (f.topDown != topDown) continue;
    ++tried;
    const TestFile file = MakeFile(f);
    Lib().SetBkColor(RGB(1, 2, 3));
    Lib().SetBkBmp(Save("format.bmp", file.bytes).c_str());
    const ClientPixels shown(skin.mirror);
    ASSERT_GE(shown.width(), 2 * f.width);
    ASSERT_GE(shown.height(), 2 * f.height);
    int wrong = 0;
    std::string first;
    for (int y = 0; y < 2 * f.height; ++y) {
      for (int x = 0; x < 2 * f.width; ++x) {
        const COLORREF held = file.At(x % f.width, y % f.height);
        if (shown.At(x, y) == held) continue;
        if (wrong++ == 0)
          first = "(" + std::to_string(x) + ", " + std::to_string(y) + ") shows " +
                  Describe(shown.At(x, y)) + ", the file holds " + Describe(held);
      }
    }
    EXPECT_EQ(wrong, 0) << f.name << ": first wrong point " << first;
  }
  EXPECT_GT(tried, 5);
}

}  // namespace

TEST(BitmapFile, BottomUpFilesOfEveryAcceptedFormatShowTheirPixels) {
  ExpectEachShowsItsPixels(false);
}

TEST(BitmapFile, TopDownFilesOfEveryAcceptedFormatShowTheirPixels) {
  ExpectEachShowsItsPixels(true);
}

TEST(BitmapFile, OnePictureAsBmpPngJpegOrGifIsOneSkinItsTransparencyOverTheListsBackground) {
  EmptySkin skin;  // the list's background: the system's window colour
  const std::tuple<const char*, std::vector<uint8_t>, Alpha, int> cases[] = {
      {"BMP", Encoded(GUID_ContainerFormatBmp, kOpaque), kOpaque, 0},
      {"PNG", Encoded(GUID_ContainerFormatPng, kOpaque), kOpaque, 0},
      {"JPEG", Encoded(GUID_ContainerFormatJpeg, kOpaque), kOpaque, 40},
      {"GIF", Encoded(GUID_ContainerFormatGif, kOpaque), kOpaque, 0},
      {"PNG with alpha", Encoded(GUID_ContainerFormatPng, kHalf), kHalf, 1},
      {"BMP with an alpha mask", Encoded(GUID_ContainerFormatBmp, kHalf), kHalf, 1},
      {"GIF with a transparent colour", Encoded(GUID_ContainerFormatGif, kTransparentColour),
       kTransparentColour, 0},
  };
  for (const auto& [name, bytes, alpha, tolerance] : cases) {
    Lib().SetBkColor(RGB(1, 2, 3));
    EXPECT_TRUE(Lib().SetBkBmpW(SaveW(UnicodePath(name), bytes).c_str())) << name;
    EXPECT_EQ(WrongPoints(skin.mirror, alpha, ::GetSysColor(COLOR_WINDOW), tolerance), 0) << name;
  }
}

TEST(BitmapFile, AColourPaintedOverAPaletteFilesTileShowsExactly) {
  // The coloured tile is painted into the loaded one: a tile with a two-colour table could only
  // show the nearer of its two colours.
  EmptySkin skin;
  const Format oneBit = {"1 bit", 40, 1, BI_RGB, false, 2, 37, 19};
  Lib().SetBkBmp(Save("palette.bmp", MakeFile(oneBit).bytes).c_str());
  Lib().SetBkColor(RGB(1, 2, 3));
  const ClientPixels shown(skin.mirror);
  EXPECT_EQ(shown.At(5, 5), RGB(1, 2, 3));
  EXPECT_EQ(shown.At(2 * 37 - 1, 2 * 19 - 1), RGB(1, 2, 3));
}

TEST(BitmapFile, FilesThatAreCutShortOrLieAboutThemselvesChangeNothing) {
  EmptySkin skin;
  const Format good = {"24 bits", 40, 24, BI_RGB, false, 0, 37, 19};
  const std::string goodPath = Save("before.bmp", MakeFile(good).bytes);
  Lib().SetBkBmp(goodPath.c_str());
  const ClientPixels before(skin.mirror);

  // Offsets into the file: the height, the colour count, the image size and the pixels' offset.
  constexpr size_t kHeight = 22, kColours = 46, kSizeImage = 34, kOffBits = 10;
  auto patched = [](std::vector<uint8_t> bytes, size_t at, int32_t value) {
    std::memcpy(&bytes[at], &value, sizeof value);
    return bytes;
  };
  struct Case {
    std::string what;
    std::vector<uint8_t> bytes;
    DWORD error = ERROR_INVALID_DATA;
    std::wstring path = {};  // the file's, when it is not made of the bytes
  };
  std::vector<Case> cases;
  const Format kinds[] = {
      {"8 bits, top-down", 40, 8, BI_RGB, true, 256, 23, 21},
      {"32 bits, top-down", 40, 32, BI_RGB, true, 0, 33, 17},
      {"V4 header, 16 bits 5-6-5", 108, 16, BI_BITFIELDS, false, 0, 31, 29},
      {"8 bits run-length", 40, 8, BI_RLE8, false, 50, 45, 13},
      {"4 bits run-length", 40, 4, BI_RLE4, false, 16, 45, 13},
  };
  for (const Format& f : kinds) {
    const std::vector<uint8_t> whole = MakeFile(f).bytes;
    const std::string name = f.name;
    cases.push_back({name + " cut in half", {whole.begin(), whole.begin() + whole.size() / 2}});
    cases.push_back({name + " cut a byte short", {whole.begin(), whole.end() - 1}});
    // Run-length data may end the picture early: a taller run-length file is no lie.
    const int32_t tall = f.topDown ? -1000 * f.height : 1000 * f.height;
    if (f.compression != BI_RLE8 && f.compression != BI_RLE4)
      cases.push_back({name + " claiming 1000 times its height", patched(whole, kHeight, tall)});
    cases.push_back({name + " with pixels past the end", patched(whole, kOffBits, 1 << 30)});
    if (f.bits <= 8)
      cases.push_back({name + " with more colours than its bits allow",
                       patched(whole, kColours, (1 << f.bits) + 1)});
    if (f.compression == BI_RLE8 || f.compression == BI_RLE4) {
      const int32_t size = static_cast<int32_t>(whole.size());
      cases.push_back({name + " with run-length data past the end",
                       patched(whole, kSizeImage, size)});
      cases.push_back({name + " top-down", patched(whole, kHeight, -f.height)});
    }
  }
  // Claims that no row order can make good: a 16-bit file with colour table compression, a
  // 24-bit file with bit fields, a width of zero.
  const std::vector<uint8_t> plain = MakeFile(good).bytes;
  cases.push_back({"24 bits said to be run-length", patched(plain, 30, BI_RLE8)});
  cases.push_back({"24 bits said to have bit fields", patched(plain, 30, BI_BITFIELDS)});
  cases.push_back({"no width", patched(plain, 18, 0)});
  cases.push_back({"a width and height whose product no 64 bits hold",
                   patched(patched(plain, 18, 0x7FFFFFFF), 22, static_cast<int32_t>(0x80000000)),
                   ERROR_NOT_ENOUGH_MEMORY});
  // The other formats: cut short, claiming absurd sizes (big-endian in PNG and JPEG), no frames.
  const std::vector<uint8_t> png = Encoded(GUID_ContainerFormatPng, kOpaque);
  const std::vector<uint8_t> jpeg = Encoded(GUID_ContainerFormatJpeg, kOpaque);
  const std::vector<uint8_t> gif = Encoded(GUID_ContainerFormatGif, kOpaque);
  for (const auto* kind : {&png, &jpeg, &gif})
    cases.push_back({"cut in half", {kind->begin(), kind->begin() + kind->size() / 2}});
  const DWORD kTooLarge = ERROR_NOT_ENOUGH_MEMORY;
  const int32_t huge = static_cast<int32_t>(_byteswap_ulong(100000));
  cases.push_back({"PNG 100000 x 100000", patched(patched(png, 16, huge), 20, huge), kTooLarge});
  cases.push_back({"GIF frame 60000 x 60000",
                   patched(gif, 18, static_cast<int32_t>(60000u * 65537u)), kTooLarge});
  cases.push_back({"GIF, no frames", {'G', 'I', 'F', '8', '9', 'a', 8, 0, 8, 0, 0, 0, 0, 0x3B}});
  cases.push_back({"not a picture", std::vector<uint8_t>(500, 'x')});
  cases.push_back({"no such file", {}, ERROR_FILE_NOT_FOUND, UnicodePath("no such file.png")});
  cases.push_back({"no such folder", {}, ERROR_PATH_NOT_FOUND, UnicodePath("none\\x.png")});
  cases.push_back({"a folder", {}, ERROR_INVALID_DATA, UnicodePath("..")});

  GdiCount& count = CountLibraryGdi(Lib().hModule);
  for (const Case& c : cases) {
    Lib().SetBkBmp(goodPath.c_str());
    const long createdBefore = count.created;
    ::SetLastError(ERROR_SUCCESS);
    const std::wstring path = c.path.empty() ? SaveW(UnicodePath("bad"), c.bytes) : c.path;
    EXPECT_FALSE(Lib().SetBkBmpW(path.c_str())) << c.what;
    EXPECT_EQ(::GetLastError(), c.error) << c.what;
    EXPECT_EQ(count.created, createdBefore) << c.what << ": nothing made for a bad file";
    const ClientPixels after(skin.mirror);
    EXPECT_EQ(after.At(7, 9), before.At(7, 9)) << c.what;
    EXPECT_EQ(after.At(60, 30), before.At(60, 30)) << c.what;
  }
}

TEST(BitmapFile, RunLengthDataThatBreaksItsOwnRulesStaysInsideTheTile) {
  // Complete files whose runs go past the end of a row or of the picture, or that never close:
  // taken or refused, the tile keeps the file's size and the skin goes on working.
  EmptySkin skin;
  struct Stream {
    const char* what;
    std::vector<uint8_t> data;
  };
  const Stream streams[] = {
      {"a run past the row's end", {200, 3, 0, 0, 4, 5, 0, 1}},
      {"a literal stretch past the row's end", {0, 250, 1, 2, 3, 4, 0, 1}},
      {"a move past the picture's corner", {0, 2, 255, 255, 9, 7, 0, 1}},
      {"no end at all", {5, 1, 5, 2, 5, 3}},
      {"rows past the top", {4, 1, 0, 0, 4, 1, 0, 0, 4, 1, 0, 0, 4, 1, 0, 0, 4, 1, 0, 0}},
  };
  const Format f = {"8 bits run-length", 40, 8, BI_RLE8, false, 50, 9, 3};
  for (const Stream& stream : streams) {
    std::vector<uint8_t> bytes = MakeFile(f).bytes;
    uint32_t offBits;
    std::memcpy(&offBits, &bytes[10], 4);
    bytes.resize(offBits);
    bytes.insert(bytes.end(), stream.data.begin(), stream.data.end());
    const uint32_t size = static_cast<uint32_t>(stream.data.size());
    std::memcpy(&bytes[34], &size, 4);
    const uint32_t fileSize = static_cast<uint32_t>(bytes.size());
    std::memcpy(&bytes[2], &fileSize, 4);
    Lib().SetBkColor(RGB(1, 2, 3));
    const BOOL taken = Lib().SetBkBmpW(SaveW(UnicodePath("rle.bmp"), bytes).c_str());
    const DWORD error = ::GetLastError();
    const ClientPixels shown(skin.mirror);
    // The grid repeats the 9 x 3 tile: whatever a point shows, the point a tile further shows too.
    int loaded = 0;
    for (int y = 0; y < 3; ++y) {
      for (int x = 0; x < 9; ++x) {
        EXPECT_EQ(shown.At(x + 9, y + 3), shown.At(x, y)) << stream.what << " at " << x << "," << y;
        loaded += shown.At(x, y) != RGB(1, 2, 3);
      }
    }
    EXPECT_TRUE(taken ? loaded > 0 : loaded == 0 && error == ERROR_INVALID_DATA) << stream.what;
  }
}

TEST(BitmapFile, At144DpiTheTileIsOneAndAHalfTimesItsSizeSmoothlyUnlessTheWindowIsUnaware) {
  // DPI is read as a process starts: this runs again in one at 144 DPI, which puts it back at once.
  HKEY desktop = nullptr;
  ::RegOpenKeyExA(HKEY_CURRENT_USER, "Control Panel\\Desktop", 0, KEY_ALL_ACCESS, &desktop);
  DWORD dpi = 0, size = 4;
  if (const char* before = std::getenv("KSL_TEST_LOGPIXELS_BEFORE")) {
    dpi = static_cast<DWORD>(std::atoi(before));  // 0: none, the system's default
    dpi ? ::RegSetValueExA(desktop, "LogPixels", 0, REG_DWORD, reinterpret_cast<BYTE*>(&dpi), 4)
        : ::RegDeleteValueA(desktop, "LogPixels");
  } else {
    ::RegQueryValueExA(desktop, "LogPixels", nullptr, nullptr, reinterpret_cast<BYTE*>(&dpi),
                       &size);
    _putenv(("KSL_TEST_LOGPIXELS_BEFORE=" + std::to_string(dpi)).c_str());
    dpi = 144;
    ::RegSetValueExA(desktop, "LogPixels", 0, REG_DWORD, reinterpret_cast<BYTE*>(&dpi), 4);
    char self[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, self, MAX_PATH);
    EXPECT_EQ(_spawnl(_P_WAIT, self, "host_tests", "--gtest_filter=BitmapFile.At144*", nullptr), 0)
        << "the case at 144 DPI failed: its output is above";
    return;
  }
  const std::wstring png = SaveW(UnicodePath("dpi.png"), Encoded(GUID_ContainerFormatPng, kOpaque));
  auto repeatsEvery = [](HWND mirror, int period) {
    const ClientPixels shown(mirror);
    int repeats = 0;
    for (int y = 0; y < 40; ++y)
      for (int x = 0; x < 100; ++x) repeats += shown.At(x + period, y) == shown.At(x, y);
    return repeats == 4000;
  };
  {
    EmptySkin skin;
    EXPECT_TRUE(repeatsEvery(skin.mirror, 192) && !repeatsEvery(skin.mirror, 128));
    ASSERT_TRUE(Lib().SetBkBmpW(png.c_str()));
    EXPECT_TRUE(repeatsEvery(skin.mirror, 48) && !repeatsEvery(skin.mirror, 32));
    const ClientPixels shown(skin.mirror);  // blocks keep their colours inside, and blend
    EXPECT_TRUE(shown.At(6, 18) == kBlockColours[4] && shown.At(42, 18) == kBlockColours[7]);
    int mixed = 0;
    for (int x = 0; x < 48; ++x)
      mixed += !std::count(kBlockColours, kBlockColours + 8, shown.At(x, 18));
    EXPECT_GT(mixed, 0);
  }
  const FARPROC unaware =
      ::GetProcAddress(::GetModuleHandleA("user32"), "SetThreadDpiAwarenessContext");
  reinterpret_cast<HANDLE(WINAPI*)(HANDLE)>(reinterpret_cast<void (*)()>(unaware))(HANDLE(-1));
  EmptySkin skin;  // made by a thread unaware of DPI: the picture pixel for pixel
  ASSERT_TRUE(Lib().SetBkBmpW(png.c_str()));
  EXPECT_EQ(WrongPoints(skin.mirror, kOpaque, 0, 0), 0);
}

namespace {

// A GIF of 4 x 4 pixels of colour 0 (of a two-colour table), in `frames` frames, each of them
// claiming `laterSide` x `laterSide` after the first. Each frame's data is LZW codes of 3 bits,
// a clear code before every pixel, so that the code table never grows.
std::vector<uint8_t> ManyFrameGif(int frames, int laterSide) {
  std::vector<uint8_t> gif = {'G', 'I', 'F', '8', '9', 'a', 4, 0, 4, 0, 0x80, 0, 0,
                              0x20, 0x60, 0xC0, 0xFF, 0xFF, 0xFF};
  std::vector<uint8_t> data;
  uint32_t bits = 0, count = 0;
  auto code = [&](uint32_t c) {
    bits |= c << count;
    count += 3;
    for (; count >= 8; count -= 8, bits >>= 8) data.push_back(static_cast<uint8_t>(bits));
  };
  for (int i = 0; i < 16; ++i) code(4), code(0);
  code(5);
  if (count > 0) data.push_back(static_cast<uint8_t>(bits));
  for (int f = 0; f < frames; ++f) {
    const int side = f == 0 ? 4 : laterSide;
    const uint8_t frame[] = {0x2C, 0, 0, 0, 0, uint8_t(side), uint8_t(side >> 8), uint8_t(side),
                             uint8_t(side >> 8), 0, 2, uint8_t(data.size())};
    gif.insert(gif.end(), frame, frame + sizeof frame);
    gif.insert(gif.end(), data.begin(), data.end());
    gif.push_back(0);
  }
  gif.push_back(0x3B);
  return gif;
}

}  // namespace

// What the skin keeps is what the limits hold for: a GIF's first frame, however many frames
// follow it and whatever they claim. A tile whose brush cannot be made, or a system without the
// imaging component, is refused with its own code, the old tile kept, from either kind of setter.
TEST(BitmapFile, AGifIsItsFirstFrameAndEveryRefusalKeepsTheTileAndSaysWhy) {
  EmptySkin skin;
  const std::wstring gifs[] = {SaveW(UnicodePath("300 frames.gif"), ManyFrameGif(300, 4)),
                               SaveW(UnicodePath("huge later.gif"), ManyFrameGif(3, 60000))};
  for (const std::wstring& gif : gifs) {
    Lib().SetBkColor(RGB(1, 2, 3));
    EXPECT_TRUE(Lib().SetBkBmpW(gif.c_str())) << ::GetLastError();
    EXPECT_EQ(PixelAt(skin.mirror, 5, 5), RGB(0x20, 0x60, 0xC0)) << "the first frame's colour";
  }
  const std::wstring png = SaveW(UnicodePath("good.png"), Encoded(GUID_ContainerFormatPng, kOpaque));
  const Library::Skin handle = Lib().SkinAttach(MakeChild(skin.top.hWnd(), 77, kPlainListStyle,
                                                          320, 0, 200, 150));
  ASSERT_NE(handle, nullptr);
  const HWND handleMirror = MirrorOf(::GetWindow(::GetDlgItem(skin.top.hWnd(), 77), GW_HWNDNEXT));
  Lib().SetBkColor(RGB(1, 2, 3));
  Lib().SkinSetBkColor(handle, RGB(1, 2, 3));
  CountLibraryGdi(Lib().hModule);
  for (bool* fault : {&g_failPatternBrushes, &g_noImagingComponent}) {
    const DWORD expected = fault == &g_failPatternBrushes ? ERROR_NOT_ENOUGH_MEMORY
                                                          : ERROR_NOT_SUPPORTED;
    *fault = true;
    ::SetLastError(0);
    EXPECT_FALSE(Lib().SetBkBmpW(png.c_str()));
    EXPECT_EQ(::GetLastError(), expected);
    ::SetLastError(0);
    EXPECT_FALSE(Lib().SkinSetBkImageW(handle, png.c_str()));
    EXPECT_EQ(::GetLastError(), expected);
    if (fault == &g_failPatternBrushes) {
      EXPECT_FALSE(Lib().SkinSetBkColor(handle, RGB(9, 9, 9)));
      EXPECT_EQ(::GetLastError(), expected);
    }
    *fault = false;
    EXPECT_EQ(PixelAt(skin.mirror, 5, 5), RGB(1, 2, 3)) << "the old tile";
    EXPECT_EQ(PixelAt(handleMirror, 5, 5), RGB(1, 2, 3)) << "the old tile";
  }
  EXPECT_TRUE(Lib().SetBkBmpW(png.c_str()));
  EXPECT_TRUE(Lib().SkinDetach(handle));
}
