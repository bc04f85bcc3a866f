#include "overlay/PictureFile.h"

#include <objbase.h>
#include <string.h>
#include <wincodec.h>

#include "framework/Gdi.h"
#include "framework/PlainArray.h"
#include "overlay/Tile.h"

namespace {

// A file's bytes, mapped read-only for as long as the object lives. No one may write the file
// meanwhile (it is shared for reading only), so the bytes stay where they are.
class MappedFile {
 public:
  explicit MappedFile(LPCWSTR lpszPath) {
    m_hFile = ::CreateFileW(lpszPath, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
    if (m_hFile == INVALID_HANDLE_VALUE) {
      const DWORD error = ::GetLastError();
      m_error = error == ERROR_FILE_NOT_FOUND ? ERROR_FILE_NOT_FOUND
                : error == ERROR_PATH_NOT_FOUND || error == ERROR_INVALID_NAME ||
                        error == ERROR_INVALID_DRIVE || error == ERROR_BAD_NETPATH
                    ? ERROR_PATH_NOT_FOUND
                    : ERROR_INVALID_DATA;  // a folder, a locked file
      return;
    }
    LARGE_INTEGER size = {};
    if (!::GetFileSizeEx(m_hFile, &size) || size.QuadPart == 0) return;
    // A 4-byte-a-pixel BMP of the largest picture is a little over 256 MB.
    if (size.QuadPart > 4 * kMaxPicturePixels + (1 << 20)) {
      m_error = ERROR_NOT_ENOUGH_MEMORY;
      return;
    }
    m_hMapping = ::CreateFileMappingW(m_hFile, nullptr, PAGE_READONLY, 0, 0, nullptr);
    m_pView = m_hMapping
                  ? static_cast<const BYTE*>(::MapViewOfFile(m_hMapping, FILE_MAP_READ, 0, 0, 0))
                  : nullptr;
    if (m_pView == nullptr) {
      m_error = ERROR_NOT_ENOUGH_MEMORY;
      return;
    }
    m_size = static_cast<DWORD>(size.QuadPart);
    m_error = ERROR_SUCCESS;
  }
  ~MappedFile() {
    if (m_pView != nullptr) ::UnmapViewOfFile(m_pView);
    if (m_hMapping != nullptr) ::CloseHandle(m_hMapping);
    if (m_hFile != INVALID_HANDLE_VALUE) ::CloseHandle(m_hFile);
  }
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;

  DWORD Error() const { return m_error; }  // ERROR_SUCCESS once the bytes are there
  const BYTE* Bytes() const { return m_pView; }
  DWORD Size() const { return m_size; }

 private:
  HANDLE m_hFile = INVALID_HANDLE_VALUE;
  HANDLE m_hMapping = nullptr;
  const BYTE* m_pView = nullptr;
  DWORD m_size = 0;
  DWORD m_error = ERROR_INVALID_DATA;
};

// What a file's headers claim, read without trusting them: every read is checked against the
// file's size.
class HeaderReader {
 public:
  HeaderReader(const BYTE* pBytes, DWORD size) : m_pBytes(pBytes), m_size(size) {}
  bool Has(DWORD at, DWORD count) const { return at <= m_size && count <= m_size - at; }
  DWORD Byte(DWORD at) const { return Has(at, 1) ? m_pBytes[at] : 0; }
  DWORD Le16(DWORD at) const { return Byte(at) | Byte(at + 1) << 8; }
  DWORD Le32(DWORD at) const { return Le16(at) | Le16(at + 2) << 16; }
  DWORD Be16(DWORD at) const { return Byte(at) << 8 | Byte(at + 1); }
  DWORD Be32(DWORD at) const { return Be16(at) << 16 | Be16(at + 2); }
  bool StartsWith(const char* magic, DWORD count) const {
    return Has(0, count) && ::memcmp(m_pBytes, magic, count) == 0;
  }
  DWORD Size() const { return m_size; }

 private:
  const BYTE* m_pBytes;
  DWORD m_size;
};

// The most scans a JPEG may bring: the decoder passes over the whole picture for each.
constexpr int kMaxScans = 256;

DWORD SizeError(LONGLONG width, LONGLONG height) {
  if (width <= 0 || height <= 0) return ERROR_INVALID_DATA;
  return PictureSizeError(width, height);
}

// The headers of a BMP file must fit each other and the file: one plane, a bit count and a
// compression that go together, a colour table no larger than the bits can index, and the pixel
// data (all its rows, or the run-length data the header counts) inside the file.
DWORD CheckBmp(const HeaderReader& file) {
  const DWORD infoSize = file.Le32(14);
  const bool core = infoSize == 12;
  if (!core && infoSize != 40 && infoSize != 52 && infoSize != 56 && infoSize != 108 &&
      infoSize != 124)
    return ERROR_INVALID_DATA;
  if (!file.Has(14, infoSize)) return ERROR_INVALID_DATA;
  const LONGLONG width = core ? LONGLONG{file.Le16(18)} : static_cast<LONG>(file.Le32(18));
  const LONGLONG height = core ? LONGLONG{file.Le16(20)} : static_cast<LONG>(file.Le32(22));
  if (const DWORD error = SizeError(width, height < 0 ? -height : height)) return error;
  const DWORD planes = file.Le16(core ? 22 : 26), bits = file.Le16(core ? 24 : 28);
  const DWORD compression = core ? BI_RGB : file.Le32(30);
  const DWORD colours = bits > 8 ? 0 : !core && file.Le32(46) ? file.Le32(46) : 1u << bits;
  const bool runLength =
      (compression == BI_RLE8 && bits == 8) || (compression == BI_RLE4 && bits == 4);
  if (planes != 1 ||
      (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) ||
      (bits <= 8 && colours > (1u << bits)) || (runLength && height < 0) ||
      !(compression == BI_RGB || runLength ||
        (compression == BI_BITFIELDS && (bits == 16 || bits == 32))))
    return ERROR_INVALID_DATA;
  const DWORD tableBytes = bits <= 8 ? colours * (core ? 3 : 4)
                           : compression == BI_BITFIELDS && infoSize == 40 ? 12
                                                                           : 0;
  const LONGLONG pixelBytes =
      runLength ? file.Le32(34) : (width * bits + 31) / 32 * 4 * (height < 0 ? -height : height);
  const DWORD offBits = file.Le32(10);
  return offBits >= 14 + infoSize + tableBytes && offBits + pixelBytes <= file.Size()
             ? ERROR_SUCCESS
             : ERROR_INVALID_DATA;
}

DWORD CheckPng(const HeaderReader& file) {
  if (!file.Has(0, 24) || file.Be32(12) != 0x49484452) return ERROR_INVALID_DATA;  // "IHDR"
  return SizeError(file.Be32(16), file.Be32(20));
}

// Walks a GIF's blocks to its end. Only the first frame is used, and only it is handed to the
// decoder (which would otherwise read every frame): it must be within the limits, and
// *pFirstFrameEnd is where its data ends. The frames after it need only be whole.
DWORD CheckGif(const HeaderReader& file, DWORD* pFirstFrameEnd) {
  if (const DWORD error = SizeError(file.Le16(6), file.Le16(8))) return error;
  const DWORD globalColours = file.Byte(10) & 0x80 ? 3u << ((file.Byte(10) & 7) + 1) : 0;
  *pFirstFrameEnd = 0;
  // Sub-blocks from `at` to the empty one that ends them; 0 when the file ends first.
  auto afterSubBlocks = [&file](DWORD at) -> DWORD {
    while (file.Has(at, 1) && file.Byte(at) != 0) at += 1 + file.Byte(at);
    return file.Has(at, 1) ? at + 1 : 0;
  };
  for (DWORD at = 13 + globalColours; file.Has(at, 1);) {
    switch (file.Byte(at)) {
      case 0x21:  // an extension: its label, then its sub-blocks
        at = afterSubBlocks(at + 2);
        break;
      case 0x2C: {  // a frame
        if (!file.Has(at, 11)) return ERROR_INVALID_DATA;
        const DWORD flags = file.Byte(at + 9);
        const DWORD localColours = flags & 0x80 ? 3u << ((flags & 7) + 1) : 0;
        const bool first = *pFirstFrameEnd == 0;
        if (first) {
          if (const DWORD error = SizeError(file.Le16(at + 5), file.Le16(at + 7))) return error;
        }
        at = afterSubBlocks(at + 10 + localColours + 1);
        if (first) *pFirstFrameEnd = at;
        break;
      }
      case 0x3B:  // the end
        return *pFirstFrameEnd != 0 ? ERROR_SUCCESS : ERROR_INVALID_DATA;
      default:
        return ERROR_INVALID_DATA;
    }
    if (at == 0) return ERROR_INVALID_DATA;  // cut short inside a block
  }
  return ERROR_INVALID_DATA;  // cut short before its end
}

// Walks a JPEG's segments and entropy-coded data to its end marker, taking its size from the
// frame header: the decoder would show a file cut short with grey in place of what is missing.
DWORD CheckJpeg(const HeaderReader& file) {
  DWORD error = ERROR_INVALID_DATA;  // until a frame header is met
  int scans = 0;                     // each one a pass of the decoder over the whole picture
  for (DWORD at = 2; file.Has(at, 2);) {
    if (file.Byte(at) != 0xFF) return ERROR_INVALID_DATA;
    const DWORD marker = file.Byte(at + 1);
    if (marker == 0xFF) {  // fill byte
      ++at;
      continue;
    }
    if (marker == 0xD9) return error;                            // the end
    if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {  // markers without a length
      at += 2;
      continue;
    }
    const DWORD length = file.Be16(at + 2);
    if (length < 2) return ERROR_INVALID_DATA;
    const bool frame =
        marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
    if (frame && error == ERROR_INVALID_DATA) {
      if (!file.Has(at, 9)) return ERROR_INVALID_DATA;
      error = SizeError(file.Be16(at + 7), file.Be16(at + 5));
      if (error == ERROR_NOT_ENOUGH_MEMORY) return error;
    }
    at += 2 + length;
    if (marker != 0xDA) continue;
    if (++scans > kMaxScans) return ERROR_NOT_ENOUGH_MEMORY;
    // Entropy-coded data runs to the next marker that is neither a stuffed 0xFF nor a restart.
    while (file.Has(at, 2) && !(file.Byte(at) == 0xFF && file.Byte(at + 1) != 0 &&
                                (file.Byte(at + 1) < 0xD0 || file.Byte(at + 1) > 0xD7)))
      ++at;
  }
  return ERROR_INVALID_DATA;  // cut short before its end
}

// ERROR_SUCCESS when the file is one of the four formats and its headers claim a picture that
// may be made, with its data all there. For a GIF, *pGifFirstFrameEnd is where its first frame
// ends; 0 for the other formats.
DWORD CheckHeaders(const HeaderReader& file, DWORD* pGifFirstFrameEnd) {
  *pGifFirstFrameEnd = 0;
  if (file.StartsWith("BM", 2)) return CheckBmp(file);
  if (file.StartsWith("\x89PNG\r\n\x1A\n", 8)) return CheckPng(file);
  if (file.StartsWith("GIF87a", 6) || file.StartsWith("GIF89a", 6))
    return CheckGif(file, pGifFirstFrameEnd);
  if (file.StartsWith("\xFF\xD8", 2)) return CheckJpeg(file);
  return ERROR_INVALID_DATA;
}

// COM for the length of one call, the calling thread's apartment as the host left it: a thread
// without COM gets an apartment for the call and loses it after; a thread already in an apartment
// (either kind) is used as it is.
class ComForThisCall {
 public:
  ComForThisCall() : m_hr(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
  ~ComForThisCall() {
    if (SUCCEEDED(m_hr)) ::CoUninitialize();
  }
  ComForThisCall(const ComForThisCall&) = delete;
  ComForThisCall& operator=(const ComForThisCall&) = delete;
  bool Usable() const { return SUCCEEDED(m_hr) || m_hr == RPC_E_CHANGED_MODE; }
  HRESULT Result() const { return m_hr; }

 private:
  HRESULT m_hr;
};

// One reference to a COM object, released by the destructor.
template <typename T>
class ComRef {
 public:
  ComRef() = default;
  ~ComRef() {
    if (m_p != nullptr) m_p->Release();
  }
  ComRef(const ComRef&) = delete;
  ComRef& operator=(const ComRef&) = delete;
  T** Receive() { return &m_p; }
  void** ReceiveVoid() { return reinterpret_cast<void**>(&m_p); }
  T* operator->() const { return m_p; }
  T* Get() const { return m_p; }

 private:
  T* m_p = nullptr;
};

HBITMAP Fail(DWORD error) {
  ::SetLastError(error);
  return nullptr;
}

DWORD ErrorOf(HRESULT hr) {
  return hr == E_OUTOFMEMORY ? ERROR_NOT_ENOUGH_MEMORY : ERROR_INVALID_DATA;
}

// The imaging component (or COM itself) could not be had: no memory for it, the system's own
// Win32 code where it gives one, else not supported here (a system without the component answers
// REGDB_E_CLASSNOTREG).
DWORD ComponentError(HRESULT hr) {
  if (hr == E_OUTOFMEMORY) return ERROR_NOT_ENOUGH_MEMORY;
  if (HRESULT_FACILITY(hr) == FACILITY_WIN32 && HRESULT_CODE(hr) != 0) return HRESULT_CODE(hr);
  return ERROR_NOT_SUPPORTED;
}

// Decodes the first frame of the file's bytes as straight BGRA into a picture of its own size.
HBITMAP Decode(const BYTE* pBytes, DWORD size, bool* pbTransparent) {
  const ComForThisCall com;
  if (!com.Usable()) return Fail(ComponentError(com.Result()));
  ComRef<IWICImagingFactory> factory;
  ComRef<IWICStream> stream;
  ComRef<IWICBitmapDecoder> decoder;
  ComRef<IWICBitmapFrameDecode> frame;
  ComRef<IWICFormatConverter> converter;
  HRESULT hr = ::CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                  IID_IWICImagingFactory, factory.ReceiveVoid());
  if (FAILED(hr)) return Fail(ComponentError(hr));
  if (FAILED(hr = factory->CreateStream(stream.Receive())) ||
      FAILED(hr = stream->InitializeFromMemory(const_cast<BYTE*>(pBytes), size)))
    return Fail(ERROR_NOT_ENOUGH_MEMORY);
  UINT frames = 0, width = 0, height = 0;
  if (FAILED(hr = factory->CreateDecoderFromStream(
                 stream.Get(), nullptr, WICDecodeMetadataCacheOnDemand, decoder.Receive())) ||
      FAILED(hr = decoder->GetFrameCount(&frames)) || frames == 0 ||
      FAILED(hr = decoder->GetFrame(0, frame.Receive())) ||
      FAILED(hr = frame->GetSize(&width, &height)))
    return Fail(ErrorOf(hr));
  if (const DWORD error = SizeError(width, height)) return Fail(error);
  if (FAILED(hr = factory->CreateFormatConverter(converter.Receive())) ||
      FAILED(hr = converter->Initialize(frame.Get(), GUID_WICPixelFormat32bppBGRA,
                                        WICBitmapDitherTypeNone, nullptr, 0.0,
                                        WICBitmapPaletteTypeCustom)))
    return Fail(ErrorOf(hr));
  RGBQUAD* pixels = nullptr;
  CBitmap picture;
  if (!picture.Attach(NewPicture(static_cast<int>(width), static_cast<int>(height), &pixels)))
    return Fail(ERROR_NOT_ENOUGH_MEMORY);
  const UINT stride = width * 4;
  if (FAILED(hr = converter->CopyPixels(nullptr, stride, stride * height,
                                        reinterpret_cast<BYTE*>(pixels))))
    return Fail(ErrorOf(hr));
  *pbTransparent = false;
  for (size_t i = 0, count = size_t{width} * height; i < count && !*pbTransparent; ++i)
    *pbTransparent = pixels[i].rgbReserved != 255;
  return static_cast<HBITMAP>(picture.Detach());
}

}  // namespace

HBITMAP LoadPictureFile(LPCWSTR lpszPath, bool* pbTransparent) {
  if (lpszPath == nullptr || lpszPath[0] == L'\0') return Fail(ERROR_PATH_NOT_FOUND);
  const MappedFile file(lpszPath);
  if (file.Error() != ERROR_SUCCESS) return Fail(file.Error());
  const HeaderReader headers(file.Bytes(), file.Size());
  DWORD gifFirstFrameEnd = 0;
  if (const DWORD error = CheckHeaders(headers, &gifFirstFrameEnd)) return Fail(error);
  // A GIF of many frames goes to the decoder as its first frame alone, ended where the file would
  // end: the decoder reads every frame it is given, and only the first is used.
  if (gifFirstFrameEnd != 0 && gifFirstFrameEnd + 1 < file.Size()) {
    CPlainArray<BYTE> first;
    if (!first.SetSize(static_cast<int>(gifFirstFrameEnd + 1))) return Fail(ERROR_NOT_ENOUGH_MEMORY);
    ::memcpy(first.GetData(), file.Bytes(), gifFirstFrameEnd);
    first[static_cast<int>(gifFirstFrameEnd)] = 0x3B;
    return Decode(first.GetData(), gifFirstFrameEnd + 1, pbTransparent);
  }
  // Some decoders (Wine's, as of 8) refuse the 52- and 56-byte BMP headers, which only add the
  // masks to the 40-byte one: the file goes to the decoder with the same fields in a 108-byte
  // header, the colour table and pixels moved along.
  const DWORD infoSize = headers.Le32(14);
  if (!headers.StartsWith("BM", 2) || (infoSize != 52 && infoSize != 56))
    return Decode(file.Bytes(), file.Size(), pbTransparent);
  const DWORD grown = 108 - infoSize;
  CPlainArray<BYTE> copy;
  if (file.Size() > 0x7FFFFFFF - grown || !copy.SetSize(static_cast<int>(file.Size() + grown)))
    return Fail(ERROR_NOT_ENOUGH_MEMORY);
  BYTE* bytes = copy.GetData();
  ::memcpy(bytes, file.Bytes(), 14 + infoSize);
  ::memcpy(bytes + 14 + 108, file.Bytes() + 14 + infoSize, file.Size() - 14 - infoSize);
  const DWORD fields[3][2] = {{2, file.Size() + grown}, {10, headers.Le32(10) + grown}, {14, 108}};
  for (const auto& field : fields) ::memcpy(bytes + field[0], &field[1], 4);
  return Decode(bytes, file.Size() + grown, pbTransparent);
}

DWORD PictureSizeError(LONGLONG width, LONGLONG height) {
  return width * height > kMaxPicturePixels || width > kMaxPictureSide || height > kMaxPictureSide
             ? ERROR_NOT_ENOUGH_MEMORY
             : ERROR_SUCCESS;
}
