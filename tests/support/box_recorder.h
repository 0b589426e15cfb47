// Records the message boxes the code under test shows, and answers them.
// The native build sees them through the platform layer's observer; the
// Windows build watches for the real boxes and presses the button.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct RecordedBox {
  std::u16string caption;
  std::u16string text;
};

class BoxRecorder {
 public:
  // Every box is answered with the button `answer` (1 = OK, 6 = Yes, 7 = No).
  explicit BoxRecorder(int32_t answer = 1);
  ~BoxRecorder();
  BoxRecorder(const BoxRecorder&) = delete;
  BoxRecorder& operator=(const BoxRecorder&) = delete;

  // The boxes seen so far, after waiting (up to a few seconds) until at least
  // `expected` have been seen.
  std::vector<RecordedBox> Boxes(size_t expected = 0);

  struct Impl;

 private:
  Impl* impl_;
};

std::string ToUtf8ForTest(const std::u16string& s);
