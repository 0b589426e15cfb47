#include "tests/support/window_test_scripts.h"

#include "tests/fixtures/fixture_ids.h"

namespace {

constexpr DWORD kWindowAppearMs = 15000;

}  // namespace

std::string HandleText(const void* handle) {
  return std::to_string(static_cast<uint32_t>(reinterpret_cast<uintptr_t>(handle)));
}

FixtureProcess::FixtureProcess(const std::wstring& title, std::vector<std::wstring> extra)
    : log_(L"zv-window-fixture") {
  std::vector<std::wstring> args = {L"--title",  title,           L"--log",
                                    log_.Path(), L"--exit-after", L"60000"};
  args.insert(args.end(), extra.begin(), extra.end());
  if (process_.Start(FixtureProgram(L"zv_fixture.exe"), args)) {
    window_ = WaitForWindow(kFixtureClass, title.c_str(), kWindowAppearMs);
  }
  // The window is found as soon as it exists; its controls are there once
  // it says it is ready.
  if (window_ != nullptr && !WaitForLine(log_.Path(), "ready", kWindowAppearMs)) {
    window_ = nullptr;
  }
}
