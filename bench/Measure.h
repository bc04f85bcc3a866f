// Timing for the benchmarks: a clock, the host's catch-up after its calls, and repetitions of two
// sides taken in turns so that both see the same machine.
#pragma once
#include <windows.h>

#include <functional>
#include <vector>

namespace bench {

// Seconds on the performance counter.
double Now();

// Lets the host's message loop turn until nothing waits in the queue, and paints whatever is still
// invalid in hTop and every window inside it. Work the library puts off until the host's loop
// runs (posted messages, pending paints) is done before this returns, so it is paid for where the
// host pays for it.
void CatchUp(HWND hTop);

// Lets the host's message loop run for about `ms` milliseconds, handling messages as they come:
// what the last step set going (a thread of the library's that calls back into this one, late
// painting) is over before the next timing starts.
void Settle(HWND hTop, DWORD ms = 30);

// One repetition of one side: the host's own calls, and the catch-up after them.
struct Phases {
  double calls = 0;
  double catchUp = 0;
  double Total() const { return calls + catchUp; }
};

// Runs calls, then CatchUp(hTop), timing each.
Phases Timed(HWND hTop, const std::function<void()>& calls);

// The repetitions of one side.
struct Series {
  std::vector<Phases> reps;
  double MedianTotal() const;
  double MedianCalls() const;
  double MedianCatchUp() const;
};

// Both sides' repetitions, the i-th of each taken back to back.
struct Paired {
  Series hooked;
  Series anchor;
  // The median of the repetitions' own ratios, hooked over anchor: a pair shares whatever else the
  // machine was doing at the time, which the ratio of the two medians would not cancel.
  double MedianRatioOfTotals() const;
  double MedianRatioOfCalls() const;
};

// Runs each side once untimed (first-touch costs: code pages, heap growth, GDI caches), then
// `reps` times each, the side that goes first alternating from one repetition to the next.
Paired Interleave(int reps, const std::function<Phases()>& hooked,
                  const std::function<Phases()>& anchor);

double Median(std::vector<double> values);

// Stops the benchmark: a figure whose setup did not do what it should would time something else.
[[noreturn]] void Fail(const char* what);
void Require(bool condition, const char* what);

// Progress for the reader of a long run, on stderr so that stdout stays the report.
void Progress(const char* what);

}  // namespace bench
