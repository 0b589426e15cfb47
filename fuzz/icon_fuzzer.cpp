// Feeds arbitrary bytes to the icon-file reader that stand-alone programs
// take their icon from: every accepted file must name images that lie inside
// it, and nothing may be read past it.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "compiler/icon_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 1 << 20) return 0;
  std::vector<uint8_t> file(data, data + size);
  static TIconResources icon;
  if (ReadIconFile(file.data(), uint32_t(size), &icon)) {
    for (uint32_t i = 0; i < icon.Icons.Count; ++i) {
      const TOneIconInfo& image = icon.Icons.Images[i];
      // Touch the first and last byte: ASan reports them if they are outside.
      volatile uint8_t first = image.DataPtr[0];
      volatile uint8_t last = image.DataPtr[image.DataSize - 1];
      (void)first;
      (void)last;
    }
  }
  return 0;
}
