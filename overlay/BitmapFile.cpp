#include "overlay/BitmapFile.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <new>

#include "framework/Gdi.h"

namespace {

// A file handle that closes itself.
class ReadOnlyFile {
 public:
  explicit ReadOnlyFile(LPCSTR lpszPath)
      : m_hFile(::CreateFileA(lpszPath, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr)) {}
  ~ReadOnlyFile() {
    if (m_hFile != INVALID_HANDLE_VALUE) ::CloseHandle(m_hFile);
  }
  ReadOnlyFile(const ReadOnlyFile&) = delete;
  ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;

  bool IsOpen() const { return m_hFile != INVALID_HANDLE_VALUE; }
  // The file's size, or -1 when it cannot be told.
  int64_t Size() const {
    LARGE_INTEGER size;
    return ::GetFileSizeEx(m_hFile, &size) ? size.QuadPart : -1;
  }
  // Reads exactly nBytes from the current position; false when the file holds fewer.
  bool Read(void* pBuffer, DWORD nBytes) {
    DWORD nRead = 0;
    return ::ReadFile(m_hFile, pBuffer, nBytes, &nRead, nullptr) && nRead == nBytes;
  }
  // Reads exactly nBytes from offset; false when the file holds fewer.
  bool ReadAt(int64_t offset, void* pBuffer, DWORD nBytes) {
    LARGE_INTEGER at;
    at.QuadPart = offset;
    return ::SetFilePointerEx(m_hFile, at, nullptr, FILE_BEGIN) && Read(pBuffer, nBytes);
  }

 private:
  HANDLE m_hFile;
};

#pragma pack(push, 1)
struct FileHeader {
  char type[2];
  uint32_t size;
  uint32_t reserved;
  uint32_t offBits;
};
#pragma pack(pop)

constexpr int64_t kFileHeaderSize = sizeof(FileHeader);
// The largest tile made, in pixels (8192 x 8192 at 4 bytes each): a file may describe far more
// than a 32-bit process can hold.
constexpr int64_t kMaxTilePixels = int64_t{1} << 26;
// The most pixel data read: a little over what the largest tile can hold at 32 bits per pixel.
constexpr int64_t kMaxPixelBytes = int64_t{1} << 29;

// What a bitmap file's headers say, after they were checked against the file.
struct BitmapLayout {
  uint32_t infoSize = 0;  // 12 for a core header, else 40 to 124
  int64_t width = 0;
  int64_t height = 0;  // negative: the top row comes first
  unsigned bitCount = 0;
  unsigned compression = BI_RGB;
  int64_t colours = 0;           // colour table entries
  unsigned paletteEntrySize = 4;  // 3 in a file with a core header
  DWORD masks[3] = {};           // red, green, blue for BI_BITFIELDS
  int64_t tableBytes = 0;        // colour table or masks between the header and the pixels
  int64_t offBits = 0;
  int64_t pixelBytes = 0;
  int64_t AbsHeight() const { return height < 0 ? -height : height; }
};

// Reads and checks a file's headers: a known header size, positive width, non-zero height, one
// plane, 1/4/8/16/24/32 bits per pixel, a compression that fits the bit count, and the colour
// table and pixel data inside the file. False, with the layout unusable, for anything else.
bool ReadLayout(ReadOnlyFile& file, BitmapLayout* layout) {
  if (!file.IsOpen()) return false;
  const int64_t fileSize = file.Size();

  FileHeader header;
  uint32_t infoSize = 0;
  if (fileSize < kFileHeaderSize + static_cast<int64_t>(sizeof infoSize) ||
      !file.Read(&header, sizeof header) || std::memcmp(header.type, "BM", 2) != 0 ||
      !file.Read(&infoSize, sizeof infoSize))
    return false;

  BitmapLayout& l = *layout;
  l.infoSize = infoSize;
  unsigned planes = 0, colorsUsed = 0, sizeImage = 0;
  if (infoSize == sizeof(BITMAPCOREHEADER)) {
    BITMAPCOREHEADER core;
    if (!file.Read(reinterpret_cast<char*>(&core) + 4, sizeof core - 4)) return false;
    l.width = core.bcWidth;
    l.height = core.bcHeight;
    planes = core.bcPlanes;
    l.bitCount = core.bcBitCount;
    l.paletteEntrySize = 3;
  } else if (infoSize == 40 || infoSize == 52 || infoSize == 56 || infoSize == 108 ||
             infoSize == 124) {
    // Headers past 40 bytes start with the masks; what follows them is colour management.
    BITMAPINFOHEADER info;
    if (!file.Read(reinterpret_cast<char*>(&info) + 4, sizeof info - 4)) return false;
    if (infoSize >= 52 && !file.Read(l.masks, sizeof l.masks)) return false;
    l.width = info.biWidth;
    l.height = info.biHeight;
    planes = info.biPlanes;
    l.bitCount = info.biBitCount;
    l.compression = info.biCompression;
    colorsUsed = info.biClrUsed;
    sizeImage = info.biSizeImage;
  } else {
    return false;
  }

  if (l.width <= 0 || l.height == 0 || planes != 1) return false;
  // No tile is made past this size, and the products below stay far inside 64 bits.
  if (l.width > kMaxTilePixels || l.AbsHeight() > kMaxTilePixels) return false;
  const unsigned bits = l.bitCount;
  if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) return false;

  // Masks follow a 40-byte header for BI_BITFIELDS; larger headers carry them inside.
  if (bits <= 8) {
    l.colours = colorsUsed ? colorsUsed : (int64_t{1} << bits);
    if (l.colours > (int64_t{1} << bits)) return false;
    l.tableBytes = l.colours * l.paletteEntrySize;
  } else if (l.compression == BI_BITFIELDS && infoSize == 40) {
    l.tableBytes = sizeof l.masks;
  }

  const int64_t stride = ((l.width * bits + 31) / 32) * 4;
  switch (l.compression) {
    case BI_RGB:
      l.pixelBytes = stride * l.AbsHeight();
      break;
    case BI_BITFIELDS:
      if (bits != 16 && bits != 32) return false;
      l.pixelBytes = stride * l.AbsHeight();
      break;
    case BI_RLE8:
    case BI_RLE4:
      // Run-length data is only as long as its header says; it must still be inside the file.
      if ((l.compression == BI_RLE8 && bits != 8) || (l.compression == BI_RLE4 && bits != 4) ||
          l.height < 0 || sizeImage == 0)
        return false;
      l.pixelBytes = sizeImage;
      break;
    default:
      return false;
  }

  const int64_t headersEnd = kFileHeaderSize + infoSize + l.tableBytes;
  l.offBits = header.offBits;
  if (l.offBits < headersEnd || l.offBits + l.pixelBytes > fileSize) return false;
  if (l.compression == BI_BITFIELDS && infoSize == 40 &&
      !file.ReadAt(kFileHeaderSize + infoSize, l.masks, sizeof l.masks))
    return false;
  return true;
}

// The file's pixel format as every GDI takes it: a 40-byte header, then the colour table as
// RGBQUADs or the three masks. Core headers and headers with colour management say the same
// thing this way.
struct PixelFormat {
  BITMAPINFOHEADER header;
  RGBQUAD table[256];
};

bool ReadPixelFormat(ReadOnlyFile& file, const BitmapLayout& l, PixelFormat* format) {
  std::memset(format, 0, sizeof *format);
  BITMAPINFOHEADER& h = format->header;
  h.biSize = sizeof h;
  h.biWidth = static_cast<LONG>(l.width);
  h.biHeight = static_cast<LONG>(l.height);
  h.biPlanes = 1;
  h.biBitCount = static_cast<WORD>(l.bitCount);
  h.biCompression = l.compression;
  h.biSizeImage = static_cast<DWORD>(l.pixelBytes);
  if (l.compression == BI_BITFIELDS) {
    std::memcpy(format->table, l.masks, sizeof l.masks);
    return true;
  }
  if (l.bitCount > 8) return true;
  h.biClrUsed = static_cast<DWORD>(l.colours);
  uint8_t entries[256 * 4];
  const int64_t tableStart = kFileHeaderSize + l.infoSize;
  if (!file.ReadAt(tableStart, entries, static_cast<DWORD>(l.tableBytes))) return false;
  for (int64_t i = 0; i < l.colours; ++i) {
    const uint8_t* entry = &entries[i * l.paletteEntrySize];
    format->table[i] = {entry[0], entry[1], entry[2], 0};
  }
  return true;
}

}  // namespace

HBITMAP LoadBitmapFile(LPCSTR lpszPath) {
  if (lpszPath == nullptr || lpszPath[0] == '\0') return nullptr;
  ReadOnlyFile file(lpszPath);
  BitmapLayout layout;
  PixelFormat format;
  if (!ReadLayout(file, &layout) || !ReadPixelFormat(file, layout, &format)) return nullptr;
  if (layout.width * layout.AbsHeight() > kMaxTilePixels || layout.pixelBytes > kMaxPixelBytes)
    return nullptr;

  // The pixels are read here and handed to GDI, not to the system's file loader: Wine's gives
  // top-down files black pixels, drops 5-6-5 green bits and misreads core colour tables.
  const auto pixelBytes = static_cast<size_t>(layout.pixelBytes);
  const std::unique_ptr<uint8_t[]> pixels(new (std::nothrow) uint8_t[pixelBytes]);
  if (!pixels || !file.ReadAt(layout.offBits, pixels.get(), static_cast<DWORD>(pixelBytes)))
    return nullptr;

  // Every tile is 32 bits per pixel, bottom-up: a colour painted over it later stays exact,
  // which a palette tile could not promise.
  BITMAPINFO tileFormat = {};
  tileFormat.bmiHeader = {sizeof(BITMAPINFOHEADER), static_cast<LONG>(layout.width),
                          static_cast<LONG>(layout.AbsHeight()), 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  const CBorrowedWindowDC screen(nullptr, CBorrowedWindowDC::ClientArea);
  void* tileBits = nullptr;
  CBitmap tile;
  tile.Attach(::CreateDIBSection(screen, &tileFormat, DIB_RGB_COLORS, &tileBits, nullptr, 0));
  if (tile.GetSafeHandle() == nullptr) return nullptr;
  const int rows = ::SetDIBits(screen, tile, 0, static_cast<UINT>(layout.AbsHeight()),
                               pixels.get(), reinterpret_cast<const BITMAPINFO*>(&format),
                               DIB_RGB_COLORS);
  if (rows == 0) return nullptr;
  return static_cast<HBITMAP>(tile.Detach());
}
