#include "host/image_info.h"

#include <cinttypes>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>

#include "base/bytes.h"
#include "base/crc64.h"
#include "base/platform.h"
#include "base/status.h"
#include "runtime/core/context.h"
#include "runtime/core/image.h"

namespace {

void Append(std::string& out, const char* format, ...) __attribute__((format(printf, 2, 3)));
void Append(std::string& out, const char* format, ...) {
  char buffer[512];
  va_list args;
  va_start(args, format);
  std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  out += buffer;
}

void DescribeChecksum(const uint8_t* image, uint32_t length, std::string& report) {
  uint64_t stored = LoadU64(image + length - kImageTrailerLength);
  if (stored == kNoChecksum) {
    report += "checksum: none (all 0xFF)\n";
    return;
  }
  uint64_t computed = CRC64_Calc(image, length - kImageTrailerLength);
  if (computed == stored) {
    Append(report, "checksum: ok (0x%016" PRIX64 ")\n", stored);
  } else {
    Append(report, "checksum: MISMATCH (stored 0x%016" PRIX64 ", computed 0x%016" PRIX64 ")\n",
           stored, computed);
  }
}

void DescribeSections(const TScriptContext& context, std::string& report) {
  Append(report, "sections: %u\n", context.SectionCount);
  if (context.SectionCount == 0) return;
  Append(report, "  %-16s %-4s %10s %10s\n", "name", "kind", "length", "offset");
  for (uint32_t k = 0; k < context.SectionCount; ++k) {
    const TSection& s = context.SectionIndex[k];
    Append(report, "  %-16s %-4s %10u %10u\n", s.Name,
           (s.SectionFlag & kCodeSectionFlag) ? "code" : "data", s.SectionLength,
           SectionOffset(&context, &s));
  }
}

uint32_t CountInstructions(const TScriptContext& context) {
  uint32_t count = 0;
  for (uint32_t i = 0; i < context.ScriptLength; ++i) {
    if (IsInstructionStart(context.Prepared, i)) ++count;
  }
  return count;
}

}  // namespace

TStatus DescribeImageFile(const char16_t* path, std::string& report) {
  uint8_t* image = nullptr;
  uint32_t length = 0;
  TStatus status = LoadImageFile(path, &image, &length);
  if (status != kStatusOk) {
    report +=
        "no image: the file cannot be read, or its last 4 bytes give no image length "
        "that fits the file\n";
    return status;
  }
  uint64_t fileSize = 0;
  if (TPlatformFile file = PlatformOpenRead(path)) {
    PlatformFileSize(file, &fileSize);
    PlatformClose(file);
  }
  Append(report, "image: %u bytes at offset %" PRIu64 " of a %" PRIu64 "-byte file\n", length,
         fileSize - length, fileSize);
  status = ValidateImage(image, length);
  if (length >= kImageMinLength && status != kStatusMalformedImage) {
    DescribeChecksum(image, length, report);
  }
  if (status == kStatusMalformedImage) {
    report += "malformed: the magic, the trailing length or the section directory does not fit\n";
  }
  if (status == kStatusOk) {
    TScriptContext context{};
    InitContext(&context, image, length);
    DescribeSections(context, report);
    status = PrepareImage(&context);
    if (status == kStatusOk) {
      Append(report, "preparation: ok, %u instructions, %u constants\n", CountInstructions(context),
             context.Prepared->ConstantCount);
    } else {
      Append(report, "preparation: failed with status %u at offset 0x%X\n", status,
             context.Error_At);
    }
    FreePreparedImage(&context);
    std::free(context.SectionIndex);
  }
  FreeImage(image);
  return status;
}
