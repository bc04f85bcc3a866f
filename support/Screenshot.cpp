#include "Screenshot.h"

#include <cstdint>
#include <cstdio>
#include <vector>

namespace {

uint32_t Crc32(const uint8_t* data, size_t n, uint32_t crc = 0xFFFFFFFFu) {
  for (size_t i = 0; i < n; ++i) {
    crc ^= data[i];
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return crc;
}

void PutBE32(std::vector<uint8_t>& out, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(v >> shift));
}

void PutChunk(std::vector<uint8_t>& out, const char* type, const std::vector<uint8_t>& data) {
  PutBE32(out, static_cast<uint32_t>(data.size()));
  std::vector<uint8_t> body(type, type + 4);
  body.insert(body.end(), data.begin(), data.end());
  out.insert(out.end(), body.begin(), body.end());
  PutBE32(out, Crc32(body.data(), body.size()) ^ 0xFFFFFFFFu);
}

// A zlib stream of stored (uncompressed) deflate blocks: larger files, no compressor needed.
std::vector<uint8_t> StoredZlib(const std::vector<uint8_t>& raw) {
  std::vector<uint8_t> out = {0x78, 0x01};
  size_t pos = 0;
  do {
    const size_t n = raw.size() - pos < 65535 ? raw.size() - pos : 65535;
    out.push_back(pos + n == raw.size() ? 1 : 0);
    out.push_back(static_cast<uint8_t>(n));
    out.push_back(static_cast<uint8_t>(n >> 8));
    out.push_back(static_cast<uint8_t>(~n));
    out.push_back(static_cast<uint8_t>(~n >> 8));
    out.insert(out.end(), raw.begin() + static_cast<long>(pos), raw.begin() + static_cast<long>(pos + n));
    pos += n;
  } while (pos < raw.size());
  uint32_t a = 1, b = 0;
  for (uint8_t byte : raw) {
    a = (a + byte) % 65521;
    b = (b + a) % 65521;
  }
  PutBE32(out, (b << 16) | a);
  return out;
}

// Reads hWnd's client area and then its visible children, bottom of the z-order first, into the
// RGB image at their places relative to the captured window's origin. Each window is read through
// its own DC with GetPixel: under Wine a parent's DC does not show what its children painted, and
// block copies from a window DC come back empty.
void CopyWindowTree(HWND hWnd, std::vector<uint8_t>& rgb, int width, int height, POINT origin) {
  RECT rc;
  ::GetClientRect(hWnd, &rc);
  POINT at = {0, 0};
  ::ClientToScreen(hWnd, &at);
  HDC hSource = ::GetDC(hWnd);
  for (int y = 0; y < rc.bottom; ++y) {
    const int ty = at.y - origin.y + y;
    if (ty < 0 || ty >= height) continue;
    for (int x = 0; x < rc.right; ++x) {
      const int tx = at.x - origin.x + x;
      if (tx < 0 || tx >= width) continue;
      const COLORREF c = ::GetPixel(hSource, x, y);
      if (c == CLR_INVALID) continue;
      uint8_t* p = &rgb[(static_cast<size_t>(ty) * width + tx) * 3];
      p[0] = GetRValue(c);
      p[1] = GetGValue(c);
      p[2] = GetBValue(c);
    }
  }
  ::ReleaseDC(hWnd, hSource);
  HWND hChild = ::GetWindow(hWnd, GW_CHILD);
  if (hChild == nullptr) return;
  for (hChild = ::GetWindow(hChild, GW_HWNDLAST); hChild != nullptr;
       hChild = ::GetWindow(hChild, GW_HWNDPREV)) {
    if (::IsWindowVisible(hChild)) CopyWindowTree(hChild, rgb, width, height, origin);
  }
}

}  // namespace

bool SaveWindowPng(HWND hWnd, const std::string& path) {
  ::RedrawWindow(hWnd, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
  RECT rc;
  if (!::GetWindowRect(hWnd, &rc)) return false;
  const int width = rc.right - rc.left;
  const int height = rc.bottom - rc.top;
  if (width <= 0 || height <= 0) return false;

  std::vector<uint8_t> rgb(static_cast<size_t>(width) * height * 3, 0);
  CopyWindowTree(hWnd, rgb, width, height, POINT{rc.left, rc.top});
  std::vector<uint8_t> raw;
  raw.reserve(static_cast<size_t>(height) * (1 + 3 * width));
  for (int y = 0; y < height; ++y) {
    raw.push_back(0);  // no filter
    raw.insert(raw.end(), rgb.begin() + static_cast<long>(y) * width * 3,
               rgb.begin() + static_cast<long>(y + 1) * width * 3);
  }

  std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<uint8_t> header;
  PutBE32(header, static_cast<uint32_t>(width));
  PutBE32(header, static_cast<uint32_t>(height));
  header.insert(header.end(), {8, 2, 0, 0, 0});  // 8-bit RGB
  PutChunk(png, "IHDR", header);
  PutChunk(png, "IDAT", StoredZlib(raw));
  PutChunk(png, "IEND", {});

  FILE* out = std::fopen(path.c_str(), "wb");
  if (out == nullptr) return false;
  const bool written = std::fwrite(png.data(), 1, png.size(), out) == png.size();
  return std::fclose(out) == 0 && written;
}
