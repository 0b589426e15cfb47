#include <mutex>

#include "base/platform_posix.h"
#include "tests/support/box_recorder.h"

struct BoxRecorder::Impl {
  int32_t answer;
  std::vector<RecordedBox> boxes;
};

namespace {
BoxRecorder::Impl* gActive = nullptr;
std::mutex gMutex;

int32_t Observe(const char16_t* text, const char16_t* caption, uint32_t) {
  std::lock_guard<std::mutex> lock(gMutex);
  if (gActive == nullptr) return 1;
  gActive->boxes.push_back({caption, text});
  return gActive->answer;
}
}  // namespace

BoxRecorder::BoxRecorder(int32_t answer) : impl_(new Impl{answer, {}}) {
  std::lock_guard<std::mutex> lock(gMutex);
  gActive = impl_;
  SetMessageBoxObserver(&Observe);
}

BoxRecorder::~BoxRecorder() {
  {
    std::lock_guard<std::mutex> lock(gMutex);
    gActive = nullptr;
    SetMessageBoxObserver(nullptr);
  }
  delete impl_;
}

std::vector<RecordedBox> BoxRecorder::Boxes(size_t) {
  std::lock_guard<std::mutex> lock(gMutex);
  return impl_->boxes;
}

std::string ToUtf8ForTest(const std::u16string& s) {
  std::string out;
  for (char16_t c : s) out += c < 0x80 ? char(c) : '?';
  return out;
}
