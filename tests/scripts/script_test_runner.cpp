// Runs every script under tests/scripts through the console host, as a user
// would (`zorvat run SCRIPT`), and checks the expectations the script states
// in its opening comments:
//
//   ; expect exit: N         the exit code of zorvat run (required)
//   ; expect stderr: TEXT    a piece of the host's error output
//   ; fixture: ARGS          zv_fixture.exe ARGS runs beside the script
//   ; timeout: SECONDS       time limit (default 60)
//   ; companion: FILE        a second script (path from this script's folder)
//                            run beside it, started first; it must exit with 0
//
// Companion scripts live in folders named "companions" and are not tests of
// their own; they play the user's part, for example answering a message box.
//
// A script runs in the folder of the fixture programs, so it can start them
// by bare name. Everything the script starts runs inside a job object that is
// closed afterwards, and a box watcher answers any message box left open for
// five seconds, so no script can leave a process behind or hang the run.
// A script that names a command acting on the whole machine (shutdown,
// suspend, lock, monitor power, setting the clock) is refused unrun.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/box_watcher.h"
#include "tests/support/test_process.h"

namespace {

namespace fs = std::filesystem;

// The build names its folders as the build machine sees them; under Wine a
// Unix path is reached through drive Z:.
std::wstring WindowsPath(const std::string& path) {
  std::wstring out = path.starts_with("/") ? L"Z:" : L"";
  for (char c : path) out += c == '/' ? L'\\' : wchar_t(static_cast<unsigned char>(c));
  return out;
}

struct ScriptCase {
  std::string Name;  // area_file, for the test name
  std::wstring Path;
};

// gtest names a failing case by this rather than by the bytes of the record.
void PrintTo(const ScriptCase& script, std::ostream* out) {
  *out << script.Name;
}

struct Expectations {
  bool HasExit = false;
  DWORD Exit = 0;
  std::vector<std::string> Stderr;
  std::string FixtureArgs;
  bool WithFixture = false;
  DWORD TimeoutMs = 60000;
  std::string Companion;
};

std::vector<ScriptCase> FindScripts() {
  std::vector<ScriptCase> cases;
  fs::path root = fs::path(WindowsPath(ZORVAT_SCRIPTS_DIR));
  std::error_code error;
  for (const auto& entry : fs::recursive_directory_iterator(root, error)) {
    if (entry.path().extension() != ".zvs") continue;
    if (entry.path().parent_path().filename() == "companions") continue;
    std::string name =
        entry.path().parent_path().filename().string() + "_" + entry.path().stem().string();
    std::replace_if(
        name.begin(), name.end(), [](char c) { return !isalnum(uint8_t(c)); }, '_');
    cases.push_back({name, entry.path().wstring()});
  }
  std::sort(cases.begin(), cases.end(),
            [](const ScriptCase& a, const ScriptCase& b) { return a.Name < b.Name; });
  return cases;
}

std::string Trim(const std::string& s) {
  size_t first = s.find_first_not_of(" \t\r");
  size_t last = s.find_last_not_of(" \t\r");
  return first == std::string::npos ? std::string() : s.substr(first, last - first + 1);
}

// Reads the expectation comments of the script's opening comment lines.
Expectations ReadExpectations(const std::wstring& path) {
  Expectations e;
  std::ifstream in{fs::path(path)};
  std::string line;
  while (std::getline(in, line)) {
    std::string text = Trim(line);
    if (text.empty()) continue;
    if (text[0] != ';') break;
    text = Trim(text.substr(1));
    auto value = [&](const char* key) -> std::string {
      size_t n = std::strlen(key);
      return text.compare(0, n, key) == 0 ? Trim(text.substr(n)) : std::string("\x01");
    };
    if (std::string v = value("expect exit:"); v != "\x01") {
      e.HasExit = true;
      e.Exit = DWORD(std::stoul(v));
    } else if (std::string v = value("expect stderr:"); v != "\x01") {
      e.Stderr.push_back(v);
    } else if (std::string v = value("fixture:"); v != "\x01") {
      e.WithFixture = true;
      e.FixtureArgs = v;
    } else if (std::string v = value("companion:"); v != "\x01") {
      e.Companion = v;
    } else if (std::string v = value("timeout:"); v != "\x01") {
      e.TimeoutMs = DWORD(std::stoul(v)) * 1000;
    }
  }
  return e;
}

std::string ReadFileText(const std::wstring& path) {
  std::ifstream in(fs::path(path), std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// Scripts run through the shipped runtime, whose session, power and clock
// commands act on the machine for real; under Wine, as root, setting the
// clock sets the clock of the machine the tests run on. A script that names
// one of them (or the system function behind it, for a native call) is
// refused before it runs; those commands are tested with a recorder instead.
std::string MachineWideNameIn(const std::string& source) {
  static const std::string kNames =
      " timesetlocal timesetsystem sessionpoweroff sessionlogoff sessionreboot"
      " systemhibernate systemsuspend sessionlock monitoroff monitoron monitorlowpower"
      " exitwindowsex setsystemtime setlocaltime lockworkstation setsuspendstate"
      " initiatesystemshutdownw initiatesystemshutdowna initiatesystemshutdownexw"
      " initiateshutdownw ";
  std::string word;
  for (size_t i = 0; i <= source.size(); ++i) {
    const char c = i < source.size() ? source[i] : ' ';
    if (isalnum(uint8_t(c)) || c == '_') {
      word += char(tolower(uint8_t(c)));
      continue;
    }
    if (!word.empty() && kNames.find(" " + word + " ") != std::string::npos) return word;
    word.clear();
  }
  return std::string();
}

// A job that ends every process in it when it is closed.
struct KillingJob {
  HANDLE job = CreateJobObjectW(nullptr, nullptr);
  KillingJob() {
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits);
  }
  ~KillingJob() {
    TerminateJobObject(job, 1);
    CloseHandle(job);
  }
};

struct WindowSearch {
  DWORD Pid;
  bool Found;
};

BOOL CALLBACK FindVisibleWindowOf(HWND window, LPARAM data) {
  auto* search = reinterpret_cast<WindowSearch*>(data);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner == search->Pid && IsWindowVisible(window)) search->Found = true;
  return !search->Found;
}

// Waits until the process `pid` shows a window.
bool WaitForFixtureWindow(DWORD pid, DWORD timeoutMs) {
  return WaitUntil(
      [pid] {
        WindowSearch search = {pid, false};
        EnumWindows(FindVisibleWindowOf, reinterpret_cast<LPARAM>(&search));
        return search.Found;
      },
      timeoutMs);
}

// `zorvat run SCRIPT` in the job, its output collected in a file; ended by
// force if it is still running when the record goes.
class HostRun {
 public:
  HostRun(const std::wstring& script, const std::wstring& folder, const KillingJob& job)
      : output_(L"script_stderr") {
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE outputFile = CreateFileW(output_.Path().c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                                    &inherit, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (outputFile == INVALID_HANDLE_VALUE) return;
    std::wstring host = WindowsPath(ZORVAT_BIN_DIR) + L"\\zorvat.exe";
    std::wstring commandLine = L"\"" + host + L"\" run \"" + script + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdError = outputFile;
    startup.hStdOutput = outputFile;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    PROCESS_INFORMATION info = {};
    if (CreateProcessW(host.c_str(), commandLine.data(), nullptr, nullptr, TRUE, CREATE_SUSPENDED,
                       nullptr, folder.c_str(), &startup, &info)) {
      AssignProcessToJobObject(job.job, info.hProcess);
      ResumeThread(info.hThread);
      CloseHandle(info.hThread);
      process_ = info.hProcess;
    }
    CloseHandle(outputFile);
  }
  ~HostRun() {
    if (process_ == nullptr) return;
    TerminateProcess(process_, 1);
    CloseHandle(process_);
  }
  HostRun(const HostRun&) = delete;
  HostRun& operator=(const HostRun&) = delete;

  bool Started() const { return process_ != nullptr; }
  bool Wait(DWORD timeoutMs) const {
    return WaitForSingleObject(process_, timeoutMs) == WAIT_OBJECT_0;
  }
  DWORD ExitCode() const {
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(process_, &code);
    return code;
  }
  std::string Output() const { return ReadFileText(output_.Path()); }

 private:
  TempFile output_;
  HANDLE process_ = nullptr;
};

class ScriptTest : public testing::TestWithParam<ScriptCase> {};

TEST_P(ScriptTest, MeetsItsExpectations) {
  const ScriptCase& script = GetParam();
  Expectations expect = ReadExpectations(script.Path);
  ASSERT_TRUE(expect.HasExit) << "the script states no \"; expect exit: N\"";
  std::string refused = MachineWideNameIn(ReadFileText(script.Path));
  if (refused.empty() && !expect.Companion.empty()) {
    refused = MachineWideNameIn(
        ReadFileText((fs::path(script.Path).parent_path() / expect.Companion).wstring()));
  }
  ASSERT_EQ(refused, "") << "the script names a command that acts on the whole machine";

  TBoxWatchOptions boxes;
  boxes.ProcessId = 0;
  boxes.DelayMs = 5000;
  BoxWatcher safetyNet(boxes);
  KillingJob job;

  std::wstring fixtureFolder = WindowsPath(ZORVAT_FIXTURE_DIR);
  if (expect.WithFixture) {
    std::wstring commandLine = L"\"" + fixtureFolder + L"\\zv_fixture.exe\" " +
                               std::wstring(expect.FixtureArgs.begin(), expect.FixtureArgs.end());
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    ASSERT_TRUE(CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                               fixtureFolder.c_str(), &startup, &info));
    AssignProcessToJobObject(job.job, info.hProcess);
    ASSERT_TRUE(WaitForFixtureWindow(info.dwProcessId, 20000)) << "the fixture shows no window";
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
  }

  std::unique_ptr<HostRun> companion;
  if (!expect.Companion.empty()) {
    fs::path companionPath = fs::path(script.Path).parent_path() / expect.Companion;
    companion = std::make_unique<HostRun>(companionPath.wstring(), fixtureFolder, job);
    ASSERT_TRUE(companion->Started()) << "cannot start the companion " << expect.Companion;
  }
  HostRun run(script.Path, fixtureFolder, job);
  ASSERT_TRUE(run.Started());
  bool ended = run.Wait(expect.TimeoutMs);
  std::string output = run.Output();
  ASSERT_TRUE(ended) << "time limit of " << expect.TimeoutMs / 1000 << " s\n" << output;
  EXPECT_EQ(run.ExitCode(), expect.Exit) << output;
  for (const std::string& piece : expect.Stderr) {
    EXPECT_NE(output.find(piece), std::string::npos) << "no \"" << piece << "\" in:\n" << output;
  }
  if (companion) {
    ASSERT_TRUE(companion->Wait(expect.TimeoutMs)) << "the companion did not end";
    EXPECT_EQ(companion->ExitCode(), 0u) << "companion " << expect.Companion << "\n"
                                         << companion->Output();
  }
}

INSTANTIATE_TEST_SUITE_P(Scripts, ScriptTest, testing::ValuesIn(FindScripts()),
                         [](const testing::TestParamInfo<ScriptCase>& info) {
                           return info.param.Name;
                         });

}  // namespace
