// Bytes that only make sense in a Windows process: values read at a raw
// address of the runtime's own memory, the address of a variable's data (to
// hand to a native function), blocks converted between the OEM and ANSI code
// pages, and the sections of the running image by address or written to a
// file or an open handle.
//
// The raw readers trust the address they are given, as a native function
// would: an address that cannot be read raises an access violation, which
// the executor's fault guard turns into the end of the run with 104. The
// guard leaves the command without unwinding it, so the readers hold nothing
// with a destructor while they read; only a block being read into is lost
// with such a run.
#include <windows.h>

#include <cstring>

#include "base/bytes.h"
#include "base/status.h"
#include "runtime/commands/commands.h"
#include "runtime/commands/hash_sections.h"
#include "runtime/commands/text_command_support.h"
#include "runtime/core/fetch.h"
#include "runtime/core/variables.h"
#include "runtime/values/block.h"
#include "runtime/values/text.h"

namespace {

uint32_t AddressValue(const void* p) {
  return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(p));
}

const volatile uint8_t* RawAddress(uint32_t address) {
  return reinterpret_cast<const volatile uint8_t*>(static_cast<uintptr_t>(address));
}

// The result variable and the address, both required.
TStatus FetchReadTarget(TScriptContext* context, uint32_t* reference, uint32_t* address) {
  if (FetchRequiredDWORD(context, reference) != kStatusOk) return kStatusBadParam;
  return FetchRequiredDWORD(context, address);
}

// Copies `n` bytes from the raw address through volatile reads, so that the
// read happens here, inside the command, whatever the compiler knows.
void ReadRaw(uint32_t address, void* out, uint32_t n) {
  const volatile uint8_t* from = RawAddress(address);
  uint8_t* to = static_cast<uint8_t*>(out);
  for (uint32_t i = 0; i < n; ++i) to[i] = from[i];
}

template <typename Store>
TStatus ReadNumber(TScriptContext* context, uint32_t size, Store store) {
  uint32_t reference, address;
  if (FetchReadTarget(context, &reference, &address) != kStatusOk) return kStatusBadParam;
  uint8_t bytes[kExtendedBytes] = {};
  ReadRaw(address, bytes, size);
  return store(reference, bytes);
}

// The length of the zero-terminated string of units at `address`, counted
// here rather than by the system's string functions, which would hide a
// fault and report an unreadable address as an empty string.
template <typename Unit>
uint32_t RawStringLength(uint32_t address) {
  const volatile Unit* p = reinterpret_cast<const volatile Unit*>(static_cast<uintptr_t>(address));
  uint32_t n = 0;
  while (p[n] != 0) ++n;
  return n;
}

// The OEM and ANSI conversions: the source must be a block variable. Into
// itself the block is converted in place (after a constant of the image has
// been copied); into another variable as a new block.
typedef BOOL(WINAPI* TCodePageConversion)(LPCSTR, LPSTR, DWORD);

TStatus ConvertBlock(TScriptContext* context, TCodePageConversion convert) {
  uint32_t source, target;
  if (FetchRequiredDWORD(context, &source) != kStatusOk) return kStatusBadParam;
  if (FetchDWORDOr(context, source, &target) != kStatusOk) return kStatusBadParam;
  TZorvatVariable* v = ResolveVar(context, source);
  if (v == nullptr) return kStatusNoSuchVariable;
  if (v->VarType != vtBinBlock) return kStatusNoItems;
  const uint32_t length = BB_Length(v->UA);
  if (target == source) {
    if (length == 0) return kStatusOk;
    if (MakeVarWritable(context, source) != kStatusOk) return kStatusOutOfMemory;
    char* bytes = reinterpret_cast<char*>(UA_Data(v->UA));
    convert(bytes, bytes, length);
    return kStatusOk;
  }
  PArrayHeader converted = BB_New(length);
  if (converted == nullptr) return kStatusOutOfMemory;
  if (length != 0) {
    convert(reinterpret_cast<const char*>(UA_Data(v->UA)),
            reinterpret_cast<char*>(UA_Data(converted)), length);
  }
  const TStatus stored = StoreArrayRef(context, target, converted, vtBinBlock);
  if (stored != kStatusOk) UA_Free(&converted);
  return stored;
}

// The address of a variable's value, or of the first data byte of its
// array. A native function may write through it, so an array the variable
// shares with a constant of the image is copied first: the write then
// changes the variable, never the constant.
TStatus DataAddress(TScriptContext* context, uint32_t reference, uint32_t* address) {
  TZorvatVariable* v = ResolveVar(context, reference);
  if (v == nullptr) return kStatusNoSuchVariable;
  switch (v->VarType) {
    case vtInteger:
      *address = AddressValue(&v->AsInteger);
      return kStatusOk;
    case vtExtended:
      *address = AddressValue(&v->AsExtended);
      return kStatusOk;
    case vtDWORD:
      *address = AddressValue(&v->AsDWORD);
      return kStatusOk;
    case vtUninitialized:
    case vtInvalid:
      return kStatusNoItems;
    default:
      break;
  }
  if (v->UA == nullptr) return kStatusNoItems;
  if (MakeVarWritable(context, reference) != kStatusOk) return kStatusOutOfMemory;
  *address = AddressValue(UA_Data(v->UA));
  return kStatusOk;
}

// Writes all `n` bytes from the start of the file; records the system error.
TStatus WriteFromStart(TScriptContext* context, HANDLE file, const uint8_t* data, uint32_t n) {
  SetLastError(0);
  SetFilePointer(file, 0, nullptr, FILE_BEGIN);
  DWORD written = 0;
  const BOOL ok = WriteFile(file, data, n, &written, nullptr);
  context->LastWindowsError = GetLastError();
  return ok && written == n ? kStatusOk : kStatusWriteFailed;
}

}  // namespace

TStatus CmdPointerReadByte(TScriptContext* context) {
  return ReadNumber(context, 1, [&](uint32_t reference, const uint8_t* bytes) {
    return Var_StoreDWORD(context, reference, bytes[0]);
  });
}

TStatus CmdPointerReadWord(TScriptContext* context) {
  return ReadNumber(context, 2, [&](uint32_t reference, const uint8_t* bytes) {
    return Var_StoreDWORD(context, reference, LoadU16(bytes));
  });
}

TStatus CmdPointerReadDWORD(TScriptContext* context) {
  return ReadNumber(context, 4, [&](uint32_t reference, const uint8_t* bytes) {
    return Var_StoreDWORD(context, reference, LoadU32(bytes));
  });
}

TStatus CmdPointerReadInt(TScriptContext* context) {
  return ReadNumber(context, 8, [&](uint32_t reference, const uint8_t* bytes) {
    return Var_StoreInteger(context, reference, int64_t(LoadU64(bytes)));
  });
}

TStatus CmdPointerReadFloat(TScriptContext* context) {
  return ReadNumber(context, kExtendedBytes, [&](uint32_t reference, const uint8_t* bytes) {
    return Var_StoreFloat(context, reference, LoadExtended(bytes));
  });
}

TStatus CmdPointerReadBlock(TScriptContext* context) {
  uint32_t reference, address, length;
  if (FetchReadTarget(context, &reference, &address) != kStatusOk) return kStatusBadParam;
  if (FetchRequiredDWORD(context, &length) != kStatusOk) return kStatusBadParam;
  if (ResolveVar(context, reference) == nullptr) return kStatusNoSuchVariable;
  PArrayHeader block = BB_New(length);
  if (block == nullptr) return kStatusOutOfMemory;
  // Read before the variable owns the block; a fault here ends the run.
  if (length != 0) {
    std::memcpy(UA_Data(block), const_cast<const uint8_t*>(RawAddress(address)), length);
  }
  return StoreArrayRef(context, reference, block, vtBinBlock);
}

TStatus CmdPointerReadAnsiText(TScriptContext* context) {
  uint32_t reference, address;
  if (FetchReadTarget(context, &reference, &address) != kStatusOk) return kStatusBadParam;
  const uint32_t length = RawStringLength<char>(address);
  return Var_StoreBinBlock(context, reference, const_cast<const uint8_t*>(RawAddress(address)),
                           length);
}

TStatus CmdPointerReadText(TScriptContext* context) {
  uint32_t reference, address;
  if (FetchReadTarget(context, &reference, &address) != kStatusOk) return kStatusBadParam;
  const uint32_t length = RawStringLength<char16_t>(address);
  return Var_StoreUnicodeString(context, reference,
                                reinterpret_cast<const char16_t*>(static_cast<uintptr_t>(address)),
                                length);
}

TStatus CmdVariableGetDataAddress(TScriptContext* context) {
  uint32_t reference, target, address;
  if (FetchRequiredDWORD(context, &reference) != kStatusOk) return kStatusBadParam;
  if (FetchRequiredDWORD(context, &target) != kStatusOk) return kStatusBadParam;
  const TStatus status = DataAddress(context, reference, &address);
  return status != kStatusOk ? status : Var_StoreDWORD(context, target, address);
}

TStatus CmdBlockOemToAnsi(TScriptContext* context) {
  return ConvertBlock(context, &OemToCharBuffA);
}

TStatus CmdBlockAnsiToOem(TScriptContext* context) {
  return ConvertBlock(context, &CharToOemBuffA);
}

TStatus CmdSectionGetAddress(TScriptContext* context) {
  const TSection* section = nullptr;
  const TStatus found = FetchSection(context, &section);
  uint32_t reference;
  if (FetchRequiredDWORD(context, &reference) != kStatusOk) return kStatusBadParam;
  if (found != kStatusOk) return found;
  return Var_StoreDWORD(context, reference, AddressValue(section->SectionPtr));
}

// The file keeps exactly what was written: it is cut after the section's
// bytes, and a cut that fails is a failed write rather than a file that
// still ends in its old contents.
TStatus CmdSectionSaveToFile(TScriptContext* context) {
  const TSection* section = nullptr;
  const TStatus found = FetchSection(context, &section);
  TFetchedText held;
  const TArrayHeader* path;
  uint32_t offset, count;
  if (FetchTextOr(context, &held, nullptr, &path) != kStatusOk) return kStatusBadParam;
  if (FetchDWORDOr(context, 0, &offset) != kStatusOk) return kStatusBadParam;
  if (FetchDWORDOr(context, 0, &count) != kStatusOk) return kStatusBadParam;
  if (found != kStatusOk) return found;
  const uint8_t* data;
  uint32_t length;
  const TStatus part = SectionPart(section, offset, count, &data, &length);
  if (part != kStatusOk) return part;
  HANDLE file =
      CreateFileW(reinterpret_cast<const wchar_t*>(USTR_Chars(path)), GENERIC_WRITE,
                  FILE_SHARE_READ, static_cast<SECURITY_ATTRIBUTES*>(context->SecurityAttributes),
                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    context->LastWindowsError = GetLastError();
    return kStatusFileOpenFailed;
  }
  TStatus status = WriteFromStart(context, file, data, length);
  if (status == kStatusOk && !SetEndOfFile(file)) {
    context->LastWindowsError = GetLastError();
    status = kStatusWriteFailed;
  }
  CloseHandle(file);
  return status;
}

// The handle stays open and the file keeps whatever lies after the bytes
// written.
TStatus CmdSectionWriteToHandle(TScriptContext* context) {
  const TSection* section = nullptr;
  const TStatus found = FetchSection(context, &section);
  uint32_t reference, offset, count, handle;
  if (FetchRequiredDWORD(context, &reference) != kStatusOk) return kStatusBadParam;
  if (FetchDWORDOr(context, 0, &offset) != kStatusOk) return kStatusBadParam;
  if (FetchDWORDOr(context, 0, &count) != kStatusOk) return kStatusBadParam;
  if (found != kStatusOk) return found;
  const TStatus read = GetVarDWORD(context, reference, &handle);
  if (read != kStatusOk) return read;
  const uint8_t* data;
  uint32_t length;
  const TStatus part = SectionPart(section, offset, count, &data, &length);
  if (part != kStatusOk) return part;
  return WriteFromStart(context, reinterpret_cast<HANDLE>(static_cast<uintptr_t>(handle)), data,
                        length);
}
