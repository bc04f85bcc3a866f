#include "Subclass.h"

#include <array>
#include <new>
#include <utility>

#include "ModuleState.h"
#include "ThreadState.h"
#include "Wnd.h"

// Lets a layer tell its owner that its window has ended.
struct SubclassLayers {
  static void Forget(CWindowSubclass* pOwner) { pOwner->m_pLayer = nullptr; }
};

// One installed procedure, found from the window it serves: what it replaced and who it calls. A
// layer whose client is gone is a pass-through.
struct SubclassLayer {
  HWND hWnd = nullptr;
  size_t nLayer = 0;        // which of the layer procedures, and its key in the map
  WNDPROC pfnNext = nullptr;
  bool bUnicode = false;
  CSubclassClient* pClient = nullptr;
  CWindowSubclass* pOwner = nullptr;
  DWORD dwThread = 0;       // the window's thread, the only one that runs or frees the layer
  int nDepth = 0;           // messages running on this layer now: it is deleted after the last
  bool bGone = false;       // out of the window's chain and the map
  SubclassLayer* pNextPassThrough = nullptr;
  SubclassLayer* pPrevPassThrough = nullptr;
  bool bListed = false;     // in the list of pass-throughs
};

namespace {

// The k-th subclass of this library on one window runs procedure k and finds its data under
// (window, k), so a message finds its data at once, and the only limit is on how many of ours one
// window carries at once.
constexpr size_t kLayerCount = 16;

// The layers of the calling thread's windows, which are the only ones it runs or changes.
CWindowMap& Layers() { return AfxGetThreadState()->layers; }

SubclassLayer* LayerOf(HWND hWnd, size_t k) {
  return static_cast<SubclassLayer*>(Layers().Find(hWnd, static_cast<unsigned>(k)));
}

// Procedures of the library in windows' chains, pass-throughs included; and the pass-throughs
// themselves, which may outlive a window that never got its last message to them.
CLock g_lock;
LONG g_nLive = 0;
SubclassLayer* g_pPassThroughs = nullptr;

// Every layer's procedure calls this one body.
#if defined(_MSC_VER)
#define KSL_NOINLINE __declspec(noinline)
#else
#define KSL_NOINLINE __attribute__((noinline))
#endif
KSL_NOINLINE LRESULT RunLayer(size_t k, HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);

template <size_t N>
LRESULT CALLBACK LayerProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
  return RunLayer(N, hWnd, message, wParam, lParam);
}

template <size_t... N>
constexpr std::array<WNDPROC, sizeof...(N)> MakeLayerProcs(std::index_sequence<N...>) {
  return {{&LayerProc<N>...}};
}

// A distinct procedure address for every layer.
constexpr std::array<WNDPROC, kLayerCount> kLayerProcs =
    MakeLayerProcs(std::make_index_sequence<kLayerCount>());

// ---- The library's hold on its own module ----------------------------------------------------

struct ReleaseJob {
  HMODULE hModule;
  HWND hSignal;    // a window of the host's GUI thread, closed by that thread in its message loop
  HANDLE hThread;  // or the GUI thread itself, when it is ending: its end is waited for
};

DWORD WINAPI ReleaseOnHostsLoop(void* pJob) {
  const ReleaseJob job = *static_cast<ReleaseJob*>(pJob);
  delete static_cast<ReleaseJob*>(pJob);
  if (job.hThread != nullptr) {
    // The thread ran the library's code to its last DLL notification: once it has ended, none of
    // it is on any stack.
    ::WaitForSingleObject(job.hThread, INFINITE);
    ::CloseHandle(job.hThread);
  } else {
    // SendMessage returns once the GUI thread has handled the message, which it does only while
    // it waits for messages: back in the host's loop, with no frame of the library on its stack.
    ::SendMessageW(job.hSignal, WM_CLOSE, 0, 0);
  }
  ::FreeLibraryAndExitThread(job.hModule, 0);
}

class ModuleHold {
 public:
  // Called with g_lock held.
  static void Acquire() {
    if (s_hModule != nullptr) return;
    HMODULE hModule = nullptr;
    if (::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                             reinterpret_cast<LPCWSTR>(&RunLayer), &hModule))
      s_hModule = hModule;
  }

  // Lets go once this thread's framework is idle, unless a procedure has gone back in by then.
  static void Release() { AfxCallWhenIdle(&ReleaseIfUnused, nullptr); }

 private:
  static void ReleaseIfUnused(void*) {
    HMODULE hModule;
    {
      CLockScope lock(g_lock);
      if (g_nLive > 0 || s_hModule == nullptr) return;
      hModule = s_hModule;
      s_hModule = nullptr;
    }
    // The last reference may unmap this code, so it is dropped on a thread of its own, after this
    // thread has left the library: back in its message loop, or, for a thread that is ending, gone.
    const AFX_THREAD_STATE* state = AfxPeekThreadState();
    HANDLE hThisThread = nullptr;
    HWND hSignal = nullptr;
    if (state != nullptr && state->bEnding)
      ::DuplicateHandle(::GetCurrentProcess(), ::GetCurrentThread(), ::GetCurrentProcess(),
                        &hThisThread, SYNCHRONIZE, FALSE, 0);
    else
      hSignal = ::CreateWindowExW(0, L"STATIC", nullptr, 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  nullptr, nullptr);
    auto* job = hSignal || hThisThread ? new (std::nothrow) ReleaseJob{hModule, hSignal, hThisThread}
                                       : nullptr;
    HANDLE hThread = job ? ::CreateThread(nullptr, 0, &ReleaseOnHostsLoop, job, 0, nullptr) : nullptr;
    if (hThread != nullptr) {
      ::CloseHandle(hThread);
      return;
    }
    // Without a way to wait for the host's loop the reference stays: a module that never unloads
    // is safe, an early unload is not.
    delete job;
    if (hSignal != nullptr) ::DestroyWindow(hSignal);
    if (hThisThread != nullptr) ::CloseHandle(hThisThread);
  }

  static HMODULE s_hModule;
};
HMODULE ModuleHold::s_hModule = nullptr;

// ---- Layers ------------------------------------------------------------------------------------

WNDPROC CurrentProc(HWND hWnd, bool bUnicode) {
  return reinterpret_cast<WNDPROC>(bUnicode ? ::GetWindowLongPtrW(hWnd, GWLP_WNDPROC)
                                            : ::GetWindowLongPtrA(hWnd, GWLP_WNDPROC));
}

// TRUE when the layer's procedure is its window's current one. Someone may have changed the
// window's character set since, so both readings count.
bool IsCurrent(const SubclassLayer* p) {
  const bool bUnicode = ::IsWindowUnicode(p->hWnd) != FALSE;
  return CurrentProc(p->hWnd, bUnicode) == kLayerProcs[p->nLayer] ||
         CurrentProc(p->hWnd, !bUnicode) == kLayerProcs[p->nLayer];
}

void SetProc(HWND hWnd, bool bUnicode, WNDPROC pfn) {
  const auto value = reinterpret_cast<LONG_PTR>(pfn);
  if (bUnicode)
    ::SetWindowLongPtrW(hWnd, GWLP_WNDPROC, value);
  else
    ::SetWindowLongPtrA(hWnd, GWLP_WNDPROC, value);
}

// Called with g_lock held.
void ListPassThrough(SubclassLayer* p, bool listed) {
  if (p->bListed == listed) return;
  p->bListed = listed;
  if (listed) {
    p->pPrevPassThrough = nullptr;
    p->pNextPassThrough = g_pPassThroughs;
    if (g_pPassThroughs != nullptr) g_pPassThroughs->pPrevPassThrough = p;
    g_pPassThroughs = p;
    return;
  }
  if (p->pPrevPassThrough != nullptr)
    p->pPrevPassThrough->pNextPassThrough = p->pNextPassThrough;
  else
    g_pPassThroughs = p->pNextPassThrough;
  if (p->pNextPassThrough != nullptr) p->pNextPassThrough->pPrevPassThrough = p->pPrevPassThrough;
  p->pNextPassThrough = p->pPrevPassThrough = nullptr;
}

// Takes the layer out of the map and the library's count; the object goes once
// no message runs on it.
void FreeLayer(SubclassLayer* p) {
  if (p->pOwner != nullptr) SubclassLayers::Forget(p->pOwner);
  p->pOwner = nullptr;
  p->pClient = nullptr;
  Layers().Remove(p->hWnd, static_cast<unsigned>(p->nLayer), p);
  p->bGone = true;
  bool last;
  {
    CLockScope lock(g_lock);
    ListPassThrough(p, false);
    last = --g_nLive == 0;
  }
  if (p->nDepth == 0) delete p;
  if (last) ModuleHold::Release();
}

// A pass-through of this thread whose window has gone without its last message reaching it
// (someone in front of it stopped passing messages on) can never be called again: it goes.
void FreeDeadPassThroughs() {
  const DWORD me = ::GetCurrentThreadId();
  for (;;) {
    SubclassLayer* dead = nullptr;
    {
      CLockScope lock(g_lock);
      for (SubclassLayer* p = g_pPassThroughs; p != nullptr && dead == nullptr;
           p = p->pNextPassThrough)
        if (p->dwThread == me && p->nDepth == 0 && !::IsWindow(p->hWnd)) dead = p;
    }
    if (dead == nullptr) return;
    FreeLayer(dead);
  }
}

// Takes the layer's procedure out of its window's chain when it is the current one.
bool LeaveIfCurrent(SubclassLayer* p) {
  if (!IsCurrent(p)) return false;
  SetProc(p->hWnd, p->bUnicode, p->pfnNext);
  return true;
}

// A framework frame for the length of one message: work deferred until the library is idle waits
// until the outermost message of any of its procedures is done.
class MessageFrame {
 public:
  explicit MessageFrame(AFX_THREAD_STATE* state) : m_state(state) { AfxEnterFrame(state); }
  ~MessageFrame() { AfxLeaveFrame(m_state); }
  MessageFrame(const MessageFrame&) = delete;
  MessageFrame& operator=(const MessageFrame&) = delete;

 private:
  AFX_THREAD_STATE* const m_state;
};

KSL_NOINLINE LRESULT RunLayer(size_t k, HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
  // A thread with layers has its state; one whose state has gone has ended (its windows are being
  // destroyed after it), and its layers went with the state.
  AFX_THREAD_STATE* state = AfxPeekThreadState();
  auto* p = state != nullptr
                ? static_cast<SubclassLayer*>(state->layers.Find(hWnd, static_cast<unsigned>(k)))
                : nullptr;
  if (p == nullptr) {
    // Called for a window this procedure does not serve (someone kept its address): the system's
    // default is all that is known to be safe.
    return ::IsWindowUnicode(hWnd) ? ::DefWindowProcW(hWnd, message, wParam, lParam)
                                   : ::DefWindowProcA(hWnd, message, wParam, lParam);
  }
  MessageFrame frame(state);
  ++p->nDepth;
  const CNextProc next = {hWnd, p->pfnNext, p->bUnicode};

  LRESULT result;
  if (p->pClient != nullptr) {
    result = p->pClient->OnSubclassMessage(next, message, wParam, lParam);
  } else {
    // A pass-through that finds itself current again can leave.
    if (LeaveIfCurrent(p)) FreeLayer(p);
    result = next(message, wParam, lParam);
  }

  if (message == WM_NCDESTROY && !p->bGone) {
    CSubclassClient* client = p->pClient;
    FreeLayer(p);
    if (client != nullptr) client->OnSubclassedWindowGone();
  }
  if (--p->nDepth == 0 && p->bGone) delete p;
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
  if (m_pLayer != nullptr || pClient == nullptr || !::IsWindow(hWnd)) return false;
  // A window's messages run on its own thread, which finds its layers in its own map.
  if (::GetWindowThreadProcessId(hWnd, nullptr) != ::GetCurrentThreadId()) return false;
  FreeDeadPassThroughs();
  size_t k = 0;
  while (k < kLayerCount && LayerOf(hWnd, k) != nullptr) ++k;
  if (k == kLayerCount) return TakeBackPassThrough(hWnd, pClient);

  auto* p = new (std::nothrow) SubclassLayer;
  if (p == nullptr) return false;
  p->hWnd = hWnd;
  p->nLayer = k;
  p->bUnicode = ::IsWindowUnicode(hWnd) != FALSE;
  p->pClient = pClient;
  p->pOwner = this;
  p->dwThread = ::GetCurrentThreadId();
  if (!Layers().Set(hWnd, static_cast<unsigned>(k), p)) {
    delete p;
    return false;
  }
  // A Unicode window keeps a Unicode procedure, or its texts would be narrowed on the way through.
  const auto proc = reinterpret_cast<LONG_PTR>(kLayerProcs[k]);
  const LONG_PTR replaced = p->bUnicode ? ::SetWindowLongPtrW(hWnd, GWLP_WNDPROC, proc)
                                        : ::SetWindowLongPtrA(hWnd, GWLP_WNDPROC, proc);
  if (replaced == 0) {
    Layers().Remove(hWnd, static_cast<unsigned>(k), p);
    delete p;
    return false;
  }
  p->pfnNext = reinterpret_cast<WNDPROC>(replaced);
  m_pLayer = p;
  CLockScope lock(g_lock);
  if (g_nLive++ == 0) ModuleHold::Acquire();
  return true;
}

bool CWindowSubclass::TakeBackPassThrough(HWND hWnd, CSubclassClient* pClient) {
  // A window switched on and off again under someone else's subclass keeps a pass-through of ours
  // each time: with every layer taken, the window's own pass-through serves the new install, where
  // it is in the chain, so that installs on one window never run out.
  for (size_t k = 0; k < kLayerCount; ++k) {
    SubclassLayer* p = LayerOf(hWnd, k);
    if (p == nullptr || p->pClient != nullptr) continue;
    {
      CLockScope lock(g_lock);
      ListPassThrough(p, false);
    }
    p->pClient = pClient;
    p->pOwner = this;
    m_pLayer = p;
    return true;
  }
  return false;
}

bool CWindowSubclass::Remove() {
  SubclassLayer* p = m_pLayer;
  if (p == nullptr) return false;
  m_pLayer = nullptr;
  p->pClient = nullptr;
  p->pOwner = nullptr;
  const bool left = LeaveIfCurrent(p);
  if (left) {
    FreeLayer(p);
  } else {
    CLockScope lock(g_lock);
    ListPassThrough(p, true);
  }
  FreeDeadPassThroughs();
  return left;
}

CNextProc CWindowSubclass::Next() const {
  if (m_pLayer == nullptr) return {};
  return {m_pLayer->hWnd, m_pLayer->pfnNext, m_pLayer->bUnicode};
}

int CWindowSubclass::LiveCount() { return static_cast<int>(g_nLive); }

void AfxEndThreadLayers() {
  // The thread's windows end with it, and nothing of the thread runs again: every layer of its
  // windows goes now, out of the chain where it is on top, pass-throughs included.
  AFX_THREAD_STATE* state = AfxPeekThreadState();
  if (state == nullptr) return;
  for (;;) {
    SubclassLayer* p = static_cast<SubclassLayer*>(state->layers.Any());
    if (p == nullptr) break;
    // A layer still counted as running was left by a message the thread never returned from.
    const bool abandoned = p->nDepth > 0;
    LeaveIfCurrent(p);
    FreeLayer(p);
    if (abandoned) delete p;
  }
  FreeDeadPassThroughs();
}
