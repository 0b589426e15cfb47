// Feeds arbitrary bytes to the image loader: validation, the section index
// and preparation must reject every malformed image with a status and never
// read outside it. The checksum comparison is skipped in fuzz builds.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "runtime/core/context.h"
#include "runtime/core/image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 1 << 20) return 0;
  // An exactly sized copy, so that ASan sees any read past the image.
  std::vector<uint8_t> image(data, data + size);
  uint8_t* bytes = image.empty() ? nullptr : image.data();
  ValidateImage(bytes, uint32_t(size));
  TScriptContext context{};
  InitContext(&context, bytes, uint32_t(size));
  PrepareImage(&context);
  FreePreparedImage(&context);
  std::free(context.SectionIndex);
  return 0;
}
