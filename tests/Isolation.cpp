#include "Isolation.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <utility>
#include <vector>

namespace isolation {
namespace {

struct Scenario {
  ScenarioBody body;
  std::string suite;  // the parent's test suite, when the parent has a test of its own for it
};

std::map<std::string, Scenario>& Scenarios() {
  static std::map<std::string, Scenario> scenarios;
  return scenarios;
}

bool g_inChild = false;
constexpr char kChildFlag[] = "--ksl-child=";
// The child's last line: a child that died in a way that left no exit code of its own (Wine
// ending a thread whose stack overflowed inside a callback, say) does not write it.
constexpr char kFinishedMark[] = "ksl-child-finished";

// A crash in the child ends it at once with the exception's code, instead of starting Wine's
// debugger, which would keep the parent waiting.
LONG WINAPI EndOnCrash(EXCEPTION_POINTERS* info) {
  const DWORD code = info->ExceptionRecord->ExceptionCode;
  void* at = info->ExceptionRecord->ExceptionAddress;
  // The module the fault lies in, and where in it.
  HMODULE module = nullptr;
  char moduleName[MAX_PATH] = "no module";
  if (::GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                               GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                           static_cast<LPCSTR>(at), &module))
    ::GetModuleFileNameA(module, moduleName, MAX_PATH);
  std::fprintf(stderr, "\ncrashed: exception 0x%08lX at %p (%s + 0x%lX)\n",
               static_cast<unsigned long>(code), at, moduleName,
               static_cast<unsigned long>(static_cast<char*>(at) - reinterpret_cast<char*>(module)));
  std::fflush(stderr);
  std::fflush(stdout);
  ::TerminateProcess(::GetCurrentProcess(), code);
  return EXCEPTION_EXECUTE_HANDLER;
}

class ScenarioTest : public testing::Test {
 public:
  explicit ScenarioTest(ScenarioBody body) : m_body(std::move(body)) {}
  void TestBody() override { m_body(); }

 private:
  ScenarioBody m_body;
};

// The parent's test of a scenario: the child ran it to its end with every check holding.
class ChildTest : public testing::Test {
 public:
  explicit ChildTest(std::string name) : m_name(std::move(name)) {}
  void TestBody() override { EXPECT_CHILD_PASSES(m_name); }

 private:
  std::string m_name;
};

}  // namespace

void Register(const std::string& name, ScenarioBody body, const std::string& suite) {
  Scenarios()[name] = Scenario{std::move(body), suite};
}

bool InChild() { return g_inChild; }

ChildResult RunChild(const std::string& name, DWORD timeoutMs) {
  ChildResult result;
  char program[MAX_PATH] = {};
  ::GetModuleFileNameA(nullptr, program, MAX_PATH);
  char folder[MAX_PATH] = {};
  ::GetTempPathA(MAX_PATH, folder);
  const std::string outputPath = std::string(folder) + "kslhook_child_" + name + ".txt";

  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  HANDLE hOutput = ::CreateFileA(outputPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                                 CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  const std::string commandLine = std::string("\"") + program + "\" " + kChildFlag + name;
  std::vector<char> mutableLine(commandLine.begin(), commandLine.end());
  mutableLine.push_back('\0');
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = hOutput;
  startup.hStdError = hOutput;
  PROCESS_INFORMATION process = {};
  if (!::CreateProcessA(program, mutableLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                        &startup, &process)) {
    result.output = "could not start the child process";
    ::CloseHandle(hOutput);
    return result;
  }
  ::CloseHandle(hOutput);
  result.finished = ::WaitForSingleObject(process.hProcess, timeoutMs) == WAIT_OBJECT_0;
  if (!result.finished) {
    ::TerminateProcess(process.hProcess, 0xDEAD);
    ::WaitForSingleObject(process.hProcess, 5000);
  }
  ::GetExitCodeProcess(process.hProcess, &result.exitCode);
  ::CloseHandle(process.hThread);
  ::CloseHandle(process.hProcess);

  if (FILE* in = std::fopen(outputPath.c_str(), "rb")) {
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, in)) > 0) result.output.append(buffer, n);
    std::fclose(in);
  }
  ::DeleteFileA(outputPath.c_str());
  result.reachedItsEnd = result.output.find(kFinishedMark) != std::string::npos;
  return result;
}

std::string Describe(const ChildResult& r) {
  char how[96];
  if (r.finished && !r.reachedItsEnd)
    std::snprintf(how, sizeof how, "ended before its end (exit code 0x%08lX): crashed",
                  static_cast<unsigned long>(r.exitCode));
  else if (!r.finished)
    std::snprintf(how, sizeof how, "still running after its time: hung (ended by the parent)");
  else if (r.exitCode == 0)
    std::snprintf(how, sizeof how, "passed");
  else if (r.exitCode == 1)
    std::snprintf(how, sizeof how, "a check failed");
  else
    std::snprintf(how, sizeof how, "crashed, exit code 0x%08lX",
                  static_cast<unsigned long>(r.exitCode));
  // Only the child's failures and the crash report: its passing lines say nothing.
  std::string details;
  size_t start = 0;
  while (start < r.output.size()) {
    size_t end = r.output.find('\n', start);
    if (end == std::string::npos) end = r.output.size();
    const std::string line = r.output.substr(start, end - start);
    if (line.rfind("[", 0) != 0 || line.find("FAILED") != std::string::npos) details += line + "\n";
    start = end + 1;
  }
  return std::string(how) + "\n" + details;
}

}  // namespace isolation

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], isolation::kChildFlag, std::strlen(isolation::kChildFlag)) != 0)
      continue;
    const std::string name = argv[i] + std::strlen(isolation::kChildFlag);
    auto it = isolation::Scenarios().find(name);
    if (it == isolation::Scenarios().end()) return 2;
    isolation::g_inChild = true;
    ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    ::SetUnhandledExceptionFilter(&isolation::EndOnCrash);
    const isolation::ScenarioBody body = it->second.body;
    testing::RegisterTest("Child", name.c_str(), nullptr, nullptr, __FILE__, __LINE__,
                          [body]() -> testing::Test* { return new isolation::ScenarioTest(body); });
    std::string filter = "--gtest_filter=Child." + name;
    char* childArgv[] = {argv[0], &filter[0], nullptr};
    int childArgc = 2;
    testing::InitGoogleTest(&childArgc, childArgv);
    const int failed = RUN_ALL_TESTS() != 0;
    std::printf("\n%s\n", isolation::kFinishedMark);
    std::fflush(stdout);
    return failed;
  }
  testing::InitGoogleTest(&argc, argv);
  for (const auto& entry : isolation::Scenarios()) {
    if (entry.second.suite.empty()) continue;
    const std::string name = entry.first;
    // The scenario's name without the suite's prefix, when it carries one.
    std::string test = name;
    const std::string prefix = entry.second.suite + "_";
    if (test.rfind(prefix, 0) == 0) test = test.substr(prefix.size());
    testing::RegisterTest(entry.second.suite.c_str(), test.c_str(), nullptr, nullptr, __FILE__,
                          __LINE__, [name]() -> testing::Test* {
                            return new isolation::ChildTest(name);
                          });
  }
  return RUN_ALL_TESTS();
}
