// The DLL's own allocation functions. The library is built without C++ exceptions; the runtime's
// operator new reports failure by throwing, which would bring the whole exception runtime into
// the DLL for an outcome the library cannot catch anyway. Here a failed plain new raises the
// system's own STATUS_NO_MEMORY exception, as a failed throw would have ended the process too, and
// the nothrow forms answer null. Linked into the DLL only: a program that links the library's
// classes keeps its own runtime's new.
#include <windows.h>

#include <new>

namespace {

void* Allocate(size_t size, DWORD flags) {
  return ::HeapAlloc(::GetProcessHeap(), flags, size != 0 ? size : 1);
}

void Free(void* p) {
  if (p != nullptr) ::HeapFree(::GetProcessHeap(), 0, p);
}

}  // namespace

void* operator new(size_t size) { return Allocate(size, HEAP_GENERATE_EXCEPTIONS); }
void* operator new[](size_t size) { return Allocate(size, HEAP_GENERATE_EXCEPTIONS); }
void* operator new(size_t size, const std::nothrow_t&) noexcept { return Allocate(size, 0); }
void* operator new[](size_t size, const std::nothrow_t&) noexcept { return Allocate(size, 0); }

void operator delete(void* p) noexcept { Free(p); }
void operator delete[](void* p) noexcept { Free(p); }
void operator delete(void* p, size_t) noexcept { Free(p); }
void operator delete[](void* p, size_t) noexcept { Free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { Free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { Free(p); }
