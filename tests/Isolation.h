// Host scenarios that might crash or hang the process they run in, run in a process of their own:
// the test program starts itself again to run one scenario, and the test in the parent judges how
// that process ended. A crash or a hang then fails one test instead of ending the whole program.
//
//   CHILD_TEST(Threads, SwitchOffFromAWorker) { ...the host, with EXPECT_/ASSERT_ checks... }
//
// makes the test Threads.SwitchOffFromAWorker, which runs the body in a child. The child is a
// GoogleTest run of that one scenario: it ends with 0 when every check held, 1 when a check
// failed, and with the exception's code when it crashed. The parent's test passes when the child
// passed, and shows the child's failures, or how it crashed or hung, when it did not.
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <utility>

namespace isolation {

using ScenarioBody = std::function<void()>;

// Makes a scenario known under `name`; before main runs (static initialisation). With a suite,
// the program also has a test `suite.name` that runs the scenario in a child and passes when the
// child passed.
void Register(const std::string& name, ScenarioBody body, const std::string& suite = "");

struct Registrar {
  Registrar(const char* name, ScenarioBody body, const char* suite) {
    Register(name, std::move(body), suite);
  }
};

struct ChildResult {
  bool finished = false;  // false: still running when the time was up (it was then ended)
  DWORD exitCode = 0;
  bool reachedItsEnd = false;  // it wrote its last line: it was not ended half-way
  std::string output;     // what it wrote on stdout and stderr
};

// Runs scenario `name` in a new process of this program, for at most timeoutMs.
ChildResult RunChild(const std::string& name, DWORD timeoutMs = 45000);

// Says how a child ended, for a failure message.
std::string Describe(const ChildResult& result);

// The calling process runs one scenario as a child (inside a scenario's body: true).
bool InChild();

}  // namespace isolation

#define CHILD_TEST(suite, name)                                                          \
  static void ChildTest_##suite##_##name();                                              \
  static const ::isolation::Registrar kChildTest_##suite##_##name(                       \
      #suite "_" #name, &ChildTest_##suite##_##name, #suite);                            \
  static void ChildTest_##suite##_##name()

// The scenario ran to its end in its own process, within its time, with every check holding.
#define EXPECT_CHILD_PASSES(name)                                              \
  do {                                                                         \
    const ::isolation::ChildResult childResult_ = ::isolation::RunChild(name); \
    EXPECT_TRUE(childResult_.finished && childResult_.reachedItsEnd &&           \
                childResult_.exitCode == 0)                                      \
        << "scenario " << name << ": " << ::isolation::Describe(childResult_); \
  } while (0)
