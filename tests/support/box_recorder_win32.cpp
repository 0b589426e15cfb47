#include "tests/support/box_recorder.h"
#include "tests/support/box_watcher.h"

struct BoxRecorder::Impl {
  BoxWatcher watcher;
  explicit Impl(int32_t answer) : watcher(answer) {}
};

BoxRecorder::BoxRecorder(int32_t answer) : impl_(new Impl(answer)) {}

BoxRecorder::~BoxRecorder() {
  delete impl_;
}

std::vector<RecordedBox> BoxRecorder::Boxes(size_t expected) {
  if (expected > 0) impl_->watcher.WaitForBoxes(expected, 10000);
  std::vector<RecordedBox> boxes;
  for (const TRecordedBox& box : impl_->watcher.Boxes()) {
    boxes.push_back({std::u16string(box.Caption.begin(), box.Caption.end()),
                     std::u16string(box.Text.begin(), box.Text.end())});
  }
  return boxes;
}

std::string ToUtf8ForTest(const std::u16string& s) {
  std::string out;
  for (char16_t c : s) out += c < 0x80 ? char(c) : '?';
  return out;
}
