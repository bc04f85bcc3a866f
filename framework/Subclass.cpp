#include "Subclass.h"

#include <array>
#include <new>
#include <utility>

#include "ModuleState.h"
#include "Wnd.h"

// Lets the slot table tell an owner that its window has ended.
struct SubclassSlots {
  static void Forget(CWindowSubclass* pOwner) { pOwner->m_nSlot = -1; }
};

namespace {

// One installed procedure: the window it serves, what it replaced, and who it calls. A slot whose
// client is gone is a pass-through.
struct Slot {
  bool bInUse = false;
  bool bUnicode = false;
  HWND hWnd = nullptr;
  WNDPROC pfnNext = nullptr;
  CSubclassClient* pClient = nullptr;
  CWindowSubclass* pOwner = nullptr;
  unsigned generation = 0;  // tells a slot's uses apart while a message of an earlier one runs
};

// Enough for the library's three windows over a hundred switch-ons with someone else's subclass
// left over each of them.
constexpr size_t kSlotCount = 128;
std::array<Slot, kSlotCount> g_slots;
int g_nLive = 0;

// Every slot's procedure calls this one body: copied into each of them, it would be most of the
// library's code.
#if defined(_MSC_VER)
#define KSL_NOINLINE __declspec(noinline)
#else
#define KSL_NOINLINE __attribute__((noinline))
#endif
KSL_NOINLINE LRESULT RunSlot(size_t n, HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);

template <size_t N>
LRESULT CALLBACK SlotProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
  return RunSlot(N, hWnd, message, wParam, lParam);
}

template <size_t... N>
constexpr std::array<WNDPROC, sizeof...(N)> MakeSlotProcs(std::index_sequence<N...>) {
  return {{&SlotProc<N>...}};
}

// A distinct procedure address for every slot.
constexpr std::array<WNDPROC, kSlotCount> kSlotProcs =
    MakeSlotProcs(std::make_index_sequence<kSlotCount>());

// ---- The library's hold on its own module ----------------------------------------------------

struct ReleaseJob {
  HMODULE hModule;
  HWND hSignal;  // a window of the host's GUI thread, closed by that thread in its message loop
};

DWORD WINAPI ReleaseOnHostsLoop(void* pJob) {
  const ReleaseJob job = *static_cast<ReleaseJob*>(pJob);
  delete static_cast<ReleaseJob*>(pJob);
  // SendMessage returns once the GUI thread has handled the message, which it does only while it
  // waits for messages: back in the host's loop, with no frame of the library on its stack.
  ::SendMessageW(job.hSignal, WM_CLOSE, 0, 0);
  ::FreeLibraryAndExitThread(job.hModule, 0);
}

class ModuleHold {
 public:
  static void Acquire() {
    if (s_hModule != nullptr) return;
    HMODULE hModule = nullptr;
    if (::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                             reinterpret_cast<LPCWSTR>(&RunSlot), &hModule))
      s_hModule = hModule;
  }

  // Lets go once the framework is idle, unless a procedure has gone back in by then.
  static void Release() {
    if (s_hModule == nullptr || s_bReleaseQueued) return;
    s_bReleaseQueued = true;
    AfxCallWhenIdle(&ReleaseIfUnused, nullptr);
  }

 private:
  static void ReleaseIfUnused(void*) {
    s_bReleaseQueued = false;
    if (g_nLive > 0 || s_hModule == nullptr) return;
    HMODULE hModule = s_hModule;
    s_hModule = nullptr;
    // The last reference may unmap this code, so it is dropped on a thread of its own, after this
    // thread has left the library.
    HWND hSignal = ::CreateWindowExW(0, L"STATIC", nullptr, 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                     nullptr, nullptr);
    auto* job = hSignal ? new (std::nothrow) ReleaseJob{hModule, hSignal} : nullptr;
    HANDLE hThread = job ? ::CreateThread(nullptr, 0, &ReleaseOnHostsLoop, job, 0, nullptr) : nullptr;
    if (hThread != nullptr) {
      ::CloseHandle(hThread);
      return;
    }
    // Without a way to wait for the host's loop the reference stays: a module that never unloads
    // is safe, an early unload is not.
    delete job;
    if (hSignal != nullptr) ::DestroyWindow(hSignal);
  }

  static HMODULE s_hModule;
  static bool s_bReleaseQueued;
};
HMODULE ModuleHold::s_hModule = nullptr;
bool ModuleHold::s_bReleaseQueued = false;

// ---- Slots ---------------------------------------------------------------------------------------

WNDPROC CurrentProc(HWND hWnd, bool bUnicode) {
  return reinterpret_cast<WNDPROC>(bUnicode ? ::GetWindowLongPtrW(hWnd, GWLP_WNDPROC)
                                            : ::GetWindowLongPtrA(hWnd, GWLP_WNDPROC));
}

// TRUE when slot n's procedure is hWnd's current one. Someone may have changed the window's
// character set since, so both readings count.
bool IsCurrent(size_t n) {
  const Slot& slot = g_slots[n];
  const bool bUnicode = ::IsWindowUnicode(slot.hWnd) != FALSE;
  return CurrentProc(slot.hWnd, bUnicode) == kSlotProcs[n] ||
         CurrentProc(slot.hWnd, !bUnicode) == kSlotProcs[n];
}

void SetProc(HWND hWnd, bool bUnicode, WNDPROC pfn) {
  const auto value = reinterpret_cast<LONG_PTR>(pfn);
  if (bUnicode)
    ::SetWindowLongPtrW(hWnd, GWLP_WNDPROC, value);
  else
    ::SetWindowLongPtrA(hWnd, GWLP_WNDPROC, value);
}

void FreeSlot(size_t n) {
  Slot& slot = g_slots[n];
  if (slot.pOwner != nullptr) SubclassSlots::Forget(slot.pOwner);
  slot = Slot{false, false, nullptr, nullptr, nullptr, nullptr, slot.generation};
  if (--g_nLive == 0) ModuleHold::Release();
}

// A pass-through whose window has gone without its last message reaching it (someone in front of
// it stopped passing messages on) can never be called again: its slot comes back.
void FreeDeadPassThroughs() {
  for (size_t n = 0; n < kSlotCount; ++n)
    if (g_slots[n].bInUse && g_slots[n].pClient == nullptr && !::IsWindow(g_slots[n].hWnd))
      FreeSlot(n);
}

// Takes slot n's procedure out of its window's chain when it is the current one.
bool LeaveIfCurrent(size_t n) {
  if (!IsCurrent(n)) return false;
  SetProc(g_slots[n].hWnd, g_slots[n].bUnicode, g_slots[n].pfnNext);
  return true;
}

// A framework frame for the length of one message: work deferred until the library is idle waits
// until the outermost message of any of its procedures is done.
class MessageFrame {
 public:
  MessageFrame() { AfxEnterFrame(); }
  ~MessageFrame() { AfxLeaveFrame(); }
  MessageFrame(const MessageFrame&) = delete;
  MessageFrame& operator=(const MessageFrame&) = delete;
};

KSL_NOINLINE LRESULT RunSlot(size_t n, HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
  Slot& slot = g_slots[n];
  if (!slot.bInUse || slot.hWnd != hWnd) {
    // Called for a window this procedure no longer serves (someone kept its address): the
    // system's default is all that is known to be safe.
    return ::IsWindowUnicode(hWnd) ? ::DefWindowProcW(hWnd, message, wParam, lParam)
                                   : ::DefWindowProcA(hWnd, message, wParam, lParam);
  }
  MessageFrame frame;
  const CNextProc next = {hWnd, slot.pfnNext, slot.bUnicode};
  const unsigned generation = slot.generation;

  LRESULT result;
  if (slot.pClient != nullptr) {
    result = slot.pClient->OnSubclassMessage(next, message, wParam, lParam);
  } else {
    // A pass-through that finds itself current again can leave.
    if (LeaveIfCurrent(n)) FreeSlot(n);
    result = next(message, wParam, lParam);
  }

  if (message == WM_NCDESTROY && slot.bInUse && slot.generation == generation) {
    CSubclassClient* client = slot.pClient;
    FreeSlot(n);
    if (client != nullptr) client->OnSubclassedWindowGone();
  }
  return result;
}

}  // namespace

LRESULT CNextProc::operator()(UINT message, WPARAM wParam, LPARAM lParam) const {
  if (pfn == nullptr) {
    return bUnicode ? ::DefWindowProcW(hWnd, message, wParam, lParam)
                    : ::DefWindowProcA(hWnd, message, wParam, lParam);
  }
  return bUnicode ? ::CallWindowProcW(pfn, hWnd, message, wParam, lParam)
                  : ::CallWindowProcA(pfn, hWnd, message, wParam, lParam);
}

bool CWindowSubclass::Install(HWND hWnd, CSubclassClient* pClient) {
  if (m_nSlot >= 0 || pClient == nullptr || !::IsWindow(hWnd)) return false;
  FreeDeadPassThroughs();
  size_t n = 0;
  while (n < kSlotCount && g_slots[n].bInUse) ++n;
  if (n == kSlotCount) return TakeBackPassThrough(hWnd, pClient);

  Slot& slot = g_slots[n];
  const bool bUnicode = ::IsWindowUnicode(hWnd) != FALSE;
  // A Unicode window keeps a Unicode procedure, or its texts would be narrowed on the way through.
  const LONG_PTR replaced =
      bUnicode ? ::SetWindowLongPtrW(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(kSlotProcs[n]))
               : ::SetWindowLongPtrA(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(kSlotProcs[n]));
  if (replaced == 0) return false;

  slot = Slot{true, bUnicode, hWnd, reinterpret_cast<WNDPROC>(replaced), pClient, this,
              slot.generation + 1};
  m_nSlot = static_cast<int>(n);
  if (g_nLive++ == 0) ModuleHold::Acquire();
  return true;
}

bool CWindowSubclass::TakeBackPassThrough(HWND hWnd, CSubclassClient* pClient) {
  // A window switched on and off again under someone else's subclass keeps a pass-through of ours
  // each time: with every slot taken, the window's own pass-through serves the new install, where
  // it is in the chain, so that installs on one window never run out.
  for (size_t n = 0; n < kSlotCount; ++n) {
    Slot& slot = g_slots[n];
    if (!slot.bInUse || slot.pClient != nullptr || slot.hWnd != hWnd) continue;
    slot.pClient = pClient;
    slot.pOwner = this;
    ++slot.generation;
    m_nSlot = static_cast<int>(n);
    return true;
  }
  return false;
}

bool CWindowSubclass::Remove() {
  if (m_nSlot < 0) return false;
  const auto n = static_cast<size_t>(m_nSlot);
  m_nSlot = -1;
  Slot& slot = g_slots[n];
  slot.pClient = nullptr;
  slot.pOwner = nullptr;
  const bool left = LeaveIfCurrent(n);
  if (left) FreeSlot(n);
  FreeDeadPassThroughs();
  return left;
}

CNextProc CWindowSubclass::Next() const {
  if (m_nSlot < 0) return {};
  const Slot& slot = g_slots[static_cast<size_t>(m_nSlot)];
  return {slot.hWnd, slot.pfnNext, slot.bUnicode};
}

int CWindowSubclass::LiveCount() { return g_nLive; }
