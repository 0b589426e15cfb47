// Process memory: write bytes, words, DWORDs, 8-byte integers, 10-byte
// floats, binary blocks and texts into the memory of another process, and
// read bytes, DWORDs, integers and floats back. The process is a handle in a
// variable, or the last started process when none is given.
//
// The seven writers share one routine with a mode, and so do the four
// readers. The integer and float writers read their value as a 32-bit
// number, as the other writers do: the integer writer writes it zero-extended
// to 8 bytes, the float writer writes the 80-bit float of its unsigned value.
// A write counts only when every byte arrived (1031); a read that fails
// stores nothing (1032). Both record the platform's last error.
#include <windows.h>

#include <cstdint>
#include <cstring>

#include "base/status.h"
#include "runtime/commands/commands.h"
#include "runtime/commands/process_handles_win32.h"
#include "runtime/core/fetch.h"
#include "runtime/core/variables.h"
#include "runtime/values/block.h"
#include "runtime/values/text.h"

namespace {

// The significant bytes of an x87 extended float, as stored everywhere a
// float stands in memory.
constexpr uint32_t kExtendedBytes = 10;

enum TWriteMode : uint8_t {
  kWriteByte,
  kWriteBlock,
  kWriteDWORD,
  kWriteInt,
  kWriteFloat,
  kWriteWord,
  kWriteText,
};

enum TReadMode : uint8_t { kReadByte, kReadDWORD, kReadInt, kReadFloat };

void* AddressFromValue(uint32_t address) {
  return reinterpret_cast<void*>(static_cast<uintptr_t>(address));
}

TStatus WriteBytes(TScriptContext* context, HANDLE process, uint32_t address, const void* data,
                   uint32_t size) {
  SIZE_T written = 0;
  WriteProcessMemory(process, AddressFromValue(address), data, size, &written);
  context->LastWindowsError = GetLastError();
  return written == size ? kStatusOk : kStatusMemoryWriteFailed;
}

// The bytes a number writer writes for `value`; returns their count.
uint32_t NumberBytes(TWriteMode mode, uint32_t value, uint8_t* bytes) {
  switch (mode) {
    case kWriteByte:
      bytes[0] = uint8_t(value);
      return 1;
    case kWriteWord: {
      const uint16_t word = uint16_t(value);
      std::memcpy(bytes, &word, sizeof word);
      return sizeof word;
    }
    case kWriteInt: {
      const uint64_t wide = value;
      std::memcpy(bytes, &wide, sizeof wide);
      return sizeof wide;
    }
    case kWriteFloat: {
      const TExtended number = value;
      std::memcpy(bytes, &number, kExtendedBytes);
      return kExtendedBytes;
    }
    default:
      std::memcpy(bytes, &value, sizeof value);
      return sizeof value;
  }
}

// A block or text writer: an absent block or text writes nothing.
TStatus WriteArray(TScriptContext* context, TWriteMode mode, HANDLE process, uint32_t address) {
  if (mode == kWriteBlock) {
    TFetchStatus status;
    const TArrayHeader* block = FetchBinBlock(context, &status);
    if (status == kFetchUnusable) return kStatusBadParam;
    const uint32_t length = BB_Length(block);
    return length == 0 ? kStatusOk : WriteBytes(context, process, address, UA_Data(block), length);
  }
  TFetchedText text;
  const TFetchStatus status = text.Fetch(context);
  if (status == kFetchUnusable) return kStatusBadParam;
  const uint32_t length = USTR_Length(text.Get());
  if (length == 0) return kStatusOk;
  return WriteBytes(context, process, address, USTR_Chars(text.Get()),
                    length * uint32_t(sizeof(char16_t)));
}

TStatus WriteMemory(TScriptContext* context, TWriteMode mode) {
  HANDLE process;
  TStatus status = FetchProcessHandle(context, &process);
  if (status != kStatusOk) return status;
  uint32_t address;
  if (FetchRequiredDWORD(context, &address) != kStatusOk) return kStatusBadParam;
  if (mode == kWriteBlock || mode == kWriteText) return WriteArray(context, mode, process, address);
  uint32_t value;
  if (FetchRequiredDWORD(context, &value) != kStatusOk) return kStatusBadParam;
  uint8_t bytes[kExtendedBytes];
  const uint32_t size = NumberBytes(mode, value, bytes);
  return WriteBytes(context, process, address, bytes, size);
}

constexpr uint32_t kReadSizes[] = {1, 4, 8, kExtendedBytes};

TStatus StoreRead(TScriptContext* context, TReadMode mode, uint32_t reference,
                  const uint8_t* bytes) {
  switch (mode) {
    case kReadByte:
      return Var_StoreDWORD(context, reference, bytes[0]);
    case kReadDWORD: {
      uint32_t value;
      std::memcpy(&value, bytes, sizeof value);
      return Var_StoreDWORD(context, reference, value);
    }
    case kReadInt: {
      int64_t value;
      std::memcpy(&value, bytes, sizeof value);
      return Var_StoreInteger(context, reference, value);
    }
    default: {
      TExtended value = 0;
      std::memcpy(&value, bytes, kExtendedBytes);
      return Var_StoreFloat(context, reference, value);
    }
  }
}

TStatus ReadMemory(TScriptContext* context, TReadMode mode) {
  HANDLE process;
  TStatus status = FetchProcessHandle(context, &process);
  if (status != kStatusOk) return status;
  uint32_t address, reference;
  if (FetchRequiredDWORD(context, &address) != kStatusOk) return kStatusBadParam;
  if (FetchRequiredDWORD(context, &reference) != kStatusOk) return kStatusBadParam;
  const uint32_t size = kReadSizes[mode];
  uint8_t bytes[kExtendedBytes];
  SIZE_T read = 0;
  const BOOL ok = ReadProcessMemory(process, AddressFromValue(address), bytes, size, &read);
  context->LastWindowsError = GetLastError();
  if (!ok || read != size) return kStatusMemoryReadFailed;
  return StoreRead(context, mode, reference, bytes);
}

}  // namespace

TStatus CmdMemoryWriteByte(TScriptContext* context) {
  return WriteMemory(context, kWriteByte);
}

TStatus CmdMemoryWriteBlock(TScriptContext* context) {
  return WriteMemory(context, kWriteBlock);
}

TStatus CmdMemoryWriteDWORD(TScriptContext* context) {
  return WriteMemory(context, kWriteDWORD);
}

TStatus CmdMemoryWriteInt(TScriptContext* context) {
  return WriteMemory(context, kWriteInt);
}

TStatus CmdMemoryWriteFloat(TScriptContext* context) {
  return WriteMemory(context, kWriteFloat);
}

TStatus CmdMemoryWriteWord(TScriptContext* context) {
  return WriteMemory(context, kWriteWord);
}

TStatus CmdMemoryWriteText(TScriptContext* context) {
  return WriteMemory(context, kWriteText);
}

TStatus CmdMemoryReadByte(TScriptContext* context) {
  return ReadMemory(context, kReadByte);
}

TStatus CmdMemoryReadDWORD(TScriptContext* context) {
  return ReadMemory(context, kReadDWORD);
}

TStatus CmdMemoryReadInt(TScriptContext* context) {
  return ReadMemory(context, kReadInt);
}

TStatus CmdMemoryReadFloat(TScriptContext* context) {
  return ReadMemory(context, kReadFloat);
}
