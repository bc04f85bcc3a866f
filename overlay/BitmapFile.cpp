#include "overlay/BitmapFile.h"

#include <cstdint>
#include <cstring>
#include <vector>

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
  bool Read(void* pBuffer, DWORD nBytes) {
    DWORD nRead = 0;
    return ::ReadFile(m_hFile, pBuffer, nBytes, &nRead, nullptr) && nRead == nBytes;
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

}  // namespace

bool IsCompleteBitmapFile(LPCSTR lpszPath) {
  if (lpszPath == nullptr || lpszPath[0] == '\0') return false;
  ReadOnlyFile file(lpszPath);
  if (!file.IsOpen()) return false;
  const int64_t fileSize = file.Size();

  FileHeader header;
  uint32_t infoSize = 0;
  if (fileSize < static_cast<int64_t>(sizeof header + sizeof infoSize) ||
      !file.Read(&header, sizeof header) || std::memcmp(header.type, "BM", 2) != 0 ||
      !file.Read(&infoSize, sizeof infoSize))
    return false;

  int64_t width, height;
  unsigned planes, bitCount, compression = BI_RGB, colorsUsed = 0, sizeImage = 0;
  unsigned paletteEntrySize = 4;
  if (infoSize == sizeof(BITMAPCOREHEADER)) {
    BITMAPCOREHEADER core;
    if (!file.Read(reinterpret_cast<char*>(&core) + 4, sizeof core - 4)) return false;
    width = core.bcWidth;
    height = core.bcHeight;
    planes = core.bcPlanes;
    bitCount = core.bcBitCount;
    paletteEntrySize = 3;
  } else if (infoSize == 40 || infoSize == 52 || infoSize == 56 || infoSize == 108 ||
             infoSize == 124) {
    BITMAPINFOHEADER info;
    if (!file.Read(reinterpret_cast<char*>(&info) + 4, sizeof info - 4)) return false;
    width = info.biWidth;
    height = info.biHeight;
    planes = info.biPlanes;
    bitCount = info.biBitCount;
    compression = info.biCompression;
    colorsUsed = info.biClrUsed;
    sizeImage = info.biSizeImage;
  } else {
    return false;
  }

  const int64_t absHeight = height < 0 ? -height : height;
  if (width <= 0 || height == 0 || planes != 1) return false;
  if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 16 && bitCount != 24 &&
      bitCount != 32)
    return false;

  // Masks follow a 40-byte header for BI_BITFIELDS; larger headers carry them inside.
  int64_t tableBytes = 0;
  if (bitCount <= 8) {
    const int64_t entries = colorsUsed ? colorsUsed : (int64_t{1} << bitCount);
    if (entries > (int64_t{1} << bitCount)) return false;
    tableBytes = entries * paletteEntrySize;
  } else if (compression == BI_BITFIELDS && infoSize == 40) {
    tableBytes = 12;
  }

  int64_t pixelBytes;
  switch (compression) {
    case BI_RGB:
      pixelBytes = ((width * bitCount + 31) / 32) * 4 * absHeight;
      break;
    case BI_BITFIELDS:
      if (bitCount != 16 && bitCount != 32) return false;
      pixelBytes = ((width * bitCount + 31) / 32) * 4 * absHeight;
      break;
    case BI_RLE8:
    case BI_RLE4:
      // Run-length data is only as long as its header says; it must still be inside the file.
      if ((compression == BI_RLE8 && bitCount != 8) || (compression == BI_RLE4 && bitCount != 4) ||
          height < 0 || sizeImage == 0)
        return false;
      pixelBytes = sizeImage;
      break;
    default:
      return false;
  }

  const int64_t headersEnd = int64_t{sizeof header} + infoSize + tableBytes;
  return header.offBits >= headersEnd && header.offBits + pixelBytes <= fileSize;
}

HBITMAP LoadBitmapFile(LPCSTR lpszPath) {
  if (!IsCompleteBitmapFile(lpszPath)) return nullptr;
  return static_cast<HBITMAP>(::LoadImageA(nullptr, lpszPath, IMAGE_BITMAP, 0, 0,
                                           LR_LOADFROMFILE | LR_DEFAULTSIZE | LR_CREATEDIBSECTION));
}
