#include "bench/Measure.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "tests/HostKit.h"

namespace bench {

double Now() {
  static const double frequency = [] {
    LARGE_INTEGER f;
    ::QueryPerformanceFrequency(&f);
    return static_cast<double>(f.QuadPart);
  }();
  LARGE_INTEGER t;
  ::QueryPerformanceCounter(&t);
  return static_cast<double>(t.QuadPart) / frequency;
}

void CatchUp(HWND hTop) {
  // A few turns: a posted message may leave painting behind, and painting may post again. A
  // library that never stops posting still ends here, and its figure shows it.
  for (int turn = 0; turn < 8; ++turn) {
    host::Pump();
    ::RedrawWindow(hTop, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    MSG msg;
    if (!::PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE)) return;
  }
}

void Settle(HWND hTop, DWORD ms) {
  const DWORD start = ::GetTickCount();
  for (DWORD elapsed = 0; elapsed < ms; elapsed = ::GetTickCount() - start) {
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, ms - elapsed, QS_ALLINPUT);
    CatchUp(hTop);
  }
}

Phases Timed(HWND hTop, const std::function<void()>& calls) {
  Phases phases;
  const double t0 = Now();
  calls();
  const double t1 = Now();
  CatchUp(hTop);
  phases.calls = t1 - t0;
  phases.catchUp = Now() - t1;
  return phases;
}

double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const size_t mid = values.size() / 2;
  return values.size() % 2 != 0 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

namespace {

template <typename Part>
double MedianOf(const std::vector<Phases>& reps, Part part) {
  std::vector<double> values;
  for (const Phases& p : reps) values.push_back(part(p));
  return Median(values);
}

}  // namespace

double Series::MedianTotal() const {
  return MedianOf(reps, [](const Phases& p) { return p.Total(); });
}

double Series::MedianCalls() const {
  return MedianOf(reps, [](const Phases& p) { return p.calls; });
}

double Series::MedianCatchUp() const {
  return MedianOf(reps, [](const Phases& p) { return p.catchUp; });
}

double Paired::MedianRatioOfTotals() const {
  std::vector<double> ratios;
  for (size_t i = 0; i < hooked.reps.size() && i < anchor.reps.size(); ++i)
    ratios.push_back(hooked.reps[i].Total() / anchor.reps[i].Total());
  return Median(ratios);
}

double Paired::MedianRatioOfCalls() const {
  std::vector<double> ratios;
  for (size_t i = 0; i < hooked.reps.size() && i < anchor.reps.size(); ++i)
    ratios.push_back(hooked.reps[i].calls / anchor.reps[i].calls);
  return Median(ratios);
}

Paired Interleave(int reps, const std::function<Phases()>& hooked,
                  const std::function<Phases()>& anchor) {
  hooked();
  anchor();
  Paired paired;
  for (int i = 0; i < reps; ++i) {
    if (i % 2 == 0) {
      paired.hooked.reps.push_back(hooked());
      paired.anchor.reps.push_back(anchor());
    } else {
      paired.anchor.reps.push_back(anchor());
      paired.hooked.reps.push_back(hooked());
    }
  }
  return paired;
}

void Fail(const char* what) {
  std::fprintf(stderr, "bench: %s\n", what);
  std::exit(1);
}

void Require(bool condition, const char* what) {
  if (!condition) Fail(what);
}

void Progress(const char* what) {
  std::fprintf(stderr, "  measuring %s\n", what);
  std::fflush(stderr);
}

}  // namespace bench
