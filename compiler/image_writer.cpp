#include "compiler/image_writer.h"

#include <cstdlib>
#include <cstring>

#include "base/crc64.h"
#include "base/fatal.h"
#include "base/image_format.h"
#include "base/platform.h"

namespace {

// Directory bytes and section bytes of the image, in 64-bit arithmetic.
uint64_t HeaderSize(const TRawScript* raw) {
  uint64_t size = sizeof kImageMagic + 4;
  for (uint32_t i = 0; i < raw->Sections.Count; ++i) {
    const TCompSection& s = raw->Sections.Items[i];
    if (s.Size > 0) size += uint64_t(s.SectionName.Count) + 9;
  }
  return size;
}

uint64_t ImageSize(const TRawScript* raw) {
  uint64_t total = HeaderSize(raw) + kImageTrailerLength;
  for (uint32_t i = 0; i < raw->Sections.Count; ++i) total += raw->Sections.Items[i].Size;
  return total;
}

bool FitsFormat(const TRawScript* raw) {
  return ImageSize(raw) <= 0xFFFFFFFFu;
}

// Counts and checksums everything on its way to the sink.
struct TImageOutput {
  TImageSink Sink;
  void* Context;
  bool Checksum;
  uint64_t Crc;
  uint32_t Count;

  bool Write(const void* bytes, uint32_t length) {
    if (Checksum) Crc = CRC64_Update(Crc, bytes, length);
    Count += length;
    return Sink(Context, bytes, length);
  }
  bool WriteU32(uint32_t v) {
    uint8_t b[4];
    for (int i = 0; i < 4; ++i) b[i] = uint8_t(v >> (8 * i));
    return Write(b, 4);
  }
};

bool WriteDirectory(const TRawScript* raw, TImageOutput& out) {
  uint32_t count = 0;
  for (uint32_t i = 0; i < raw->Sections.Count; ++i) count += raw->Sections.Items[i].Size > 0;
  if (!out.Write(kImageMagic, sizeof kImageMagic) || !out.WriteU32(count)) return false;
  for (uint32_t i = 0; i < raw->Sections.Count; ++i) {
    const TCompSection& s = raw->Sections.Items[i];
    if (s.Size == 0) continue;
    const uint8_t zero = 0;
    if (!out.Write(s.SectionName.Items, s.SectionName.Count) || !out.Write(&zero, 1) ||
        !out.WriteU32(s.Flags) || !out.WriteU32(s.Size)) {
      return false;
    }
  }
  return true;
}

// A file written through a buffer, so that small pieces do not each cost a
// system call.
struct TFileSink {
  TPlatformFile File;
  uint8_t Buffer[65536];
  uint32_t Used;

  bool Flush() {
    bool written = Used == 0 || PlatformWrite(File, Buffer, Used);
    Used = 0;
    return written;
  }
};

bool WriteToFile(void* context, const void* bytes, uint32_t length) {
  TFileSink* sink = static_cast<TFileSink*>(context);
  if (length > sizeof sink->Buffer - sink->Used) {
    if (!sink->Flush()) return false;
    if (length >= sizeof sink->Buffer) return PlatformWrite(sink->File, bytes, length);
  }
  std::memcpy(sink->Buffer + sink->Used, bytes, length);
  sink->Used += length;
  return true;
}

// Copies into an image whose storage was reserved for all of it.
bool WriteToMemory(void* context, const void* bytes, uint32_t length) {
  TGrowArray<uint8_t>* image = static_cast<TGrowArray<uint8_t>*>(context);
  if (length > image->Capacity - image->Count) return false;
  if (length > 0) std::memcpy(image->Items + image->Count, bytes, length);
  image->Count += length;
  return true;
}

}  // namespace

bool LayoutSections(TRawScript* raw) {
  if (!FitsFormat(raw)) return false;
  uint32_t offset = uint32_t(HeaderSize(raw));
  for (uint32_t i = 0; i < raw->Sections.Count; ++i) {
    TCompSection& s = raw->Sections.Items[i];
    s.OffsetInFile = offset;
    offset += s.Size;
  }
  return true;
}

bool WriteCompiledImage(const TRawScript* raw, TImageSink sink, void* context) {
  if (!FitsFormat(raw)) return false;
  TImageOutput out{sink, context, raw->CRC64_Needed, kCrc64Initial, 0};
  if (!WriteDirectory(raw, out)) return false;
  for (uint32_t i = 0; i < raw->Sections.Count; ++i) {
    const TCompSection& s = raw->Sections.Items[i];
    if (s.Size > 0 && !out.Write(s.Ptr, s.Size)) return false;
  }
  const uint64_t crc = raw->CRC64_Needed ? out.Crc : kNoChecksum;
  return out.WriteU32(uint32_t(crc)) && out.WriteU32(uint32_t(crc >> 32)) &&
         out.WriteU32(out.Count);
}

bool SaveCompiledScript(TRawScript* raw, const char16_t* fileName, bool append) {
  if (raw->CompilingResult != 0) return false;
  TFileSink* sink = static_cast<TFileSink*>(std::calloc(1, sizeof(TFileSink)));
  if (sink == nullptr) FatalOutOfMemory();
  sink->File = PlatformOpenWrite(fileName, append);
  bool written =
      sink->File != nullptr && WriteCompiledImage(raw, WriteToFile, sink) && sink->Flush();
  PlatformClose(sink->File);
  std::free(sink);
  return written;
}

bool BuildCompiledImage(const TRawScript* raw, TGrowArray<uint8_t>* image) {
  image->Count = 0;
  const uint64_t size = ImageSize(raw);
  if (size > kMaxGrowArrayBytes) return false;
  GrowArrayReserve(*image, uint32_t(size));
  return WriteCompiledImage(raw, WriteToMemory, image);
}
