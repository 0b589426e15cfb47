#include "runtime/core/quick_code.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "base/bytes.h"
#include "base/fatal.h"
#include "base/image_format.h"
#include "runtime/core/dispatch.h"
#include "runtime/core/image.h"
#include "runtime/core/types.h"

namespace {

// A number written in the instruction, as FetchInt64 and FetchDWORD read it.
void ReadLiteral(uint8_t kind, const uint8_t* p, int64_t* asInt64, uint32_t* asDWORD) {
  switch (kind) {
    case ptByte:
      *asInt64 = int8_t(p[0]);
      *asDWORD = uint32_t(int32_t(int8_t(p[0])));
      return;
    case ptWord:
      *asInt64 = int16_t(LoadU16(p));
      *asDWORD = uint32_t(int32_t(int16_t(LoadU16(p))));
      return;
    case ptDWORD:
      *asInt64 = int64_t(LoadU32(p));
      *asDWORD = LoadU32(p);
      return;
    case ptInteger:
      *asInt64 = int64_t(LoadU64(p));
      *asDWORD = LoadU32(p);  // the low 32 bits
      return;
    case ptVariable:
      *asInt64 = 0;
      *asDWORD = LoadU32(p);  // the reference
      return;
    default:
      *asInt64 = 0;
      *asDWORD = 0;
      return;
  }
}

// The parameters of a checked instruction from `pos` on, up to `count` or
// the end byte; `*next` is the offset after the instruction.
void ReadParams(const uint8_t* image, uint32_t pos, uint32_t count, TQuickParams* params,
                uint32_t* next) {
  params->Count = 0;
  params->Ended = false;
  params->TooMany = false;
  for (uint32_t n = 0; n < count; ++n) {
    const uint8_t kind = image[pos];
    if (kind == ptEndOfParam) {
      ++pos;
      params->Ended = true;
      break;
    }
    if (params->Count < kQuickMaxParams) {
      const uint32_t k = params->Count++;
      params->Kind[k] = kind;
      ReadLiteral(kind, image + pos + 1, &params->AsInt64[k], &params->AsDWORD[k]);
    } else {
      params->TooMany = true;
    }
    pos += 1 + kParamPayloadSize[kind];
  }
  *next = pos;
}

template <typename T>
T* CopyOut(const std::vector<T>& items) {
  T* copy = static_cast<T*>(std::malloc((items.size() + 1) * sizeof(T)));
  if (copy == nullptr) FatalOutOfMemory();
  if (!items.empty()) std::memcpy(static_cast<void*>(copy), items.data(), items.size() * sizeof(T));
  return copy;
}

// The record at an offset of the image, or null.
const TQuickInstr* RecordAt(const TQuickCode& code, uint32_t offset) {
  const uint32_t index = QuickIndexAnywhere(code, offset);
  return index == kNoQuickInstr ? nullptr : code.Instrs + index;
}

}  // namespace

// The record of every instruction without a quick routine.
ZV_QUICK const TQuickInstr* RunQuickPlain(TScriptContext* context, const TQuickInstr* instr) {
  context->IP = instr->At + 4;
  return FinishQuickStep(context, instr, instr->Plain(context));
}

const TQuickInstr* FinishQuickStep(TScriptContext* context, const TQuickInstr* instr,
                                   TStatus status) {
  context->ScriptErrorCode = int32_t(status);
  const uint32_t ip = context->IP;
  if (status != kStatusOk || ip >= context->CodeEnd) return QuickLook(instr);
  const TQuickInstr* next = RecordAt(context->Prepared->Quick, ip);
  return next != nullptr ? next : QuickLook(instr);
}

void BuildQuickCode(const uint8_t* image, const TCodeBounds* sections, uint32_t sectionCount,
                    TQuickCode* code) {
  uint32_t base = sectionCount == 0 ? 0 : sections[0].Start, end = base;
  for (uint32_t k = 0; k < sectionCount; ++k) {
    base = std::min(base, sections[k].Start);
    end = std::max(end, sections[k].End);
  }
  const uint32_t span = end - base;
  uint32_t* indexAt = static_cast<uint32_t*>(std::malloc((size_t(span) + 1) * sizeof(uint32_t)));
  if (indexAt == nullptr) FatalOutOfMemory();
  std::memset(indexAt, 0xFF, (size_t(span) + 1) * sizeof(uint32_t));
  std::vector<TQuickInstr> instrs;
  std::vector<TQuickCase> cases;
  TQuickParams params;
  for (uint32_t k = 0; k < sectionCount; ++k) {
    uint32_t at = sections[k].Start;
    while (at < sections[k].End) {
      const uint32_t command = LoadU32(image + at);
      TQuickInstr instr{};
      instr.At = at;
      instr.Plain = kDispatchTable[command].Handler;
      ReadParams(image, at + 4, kDispatchTable[command].ParamCount, &params, &instr.Next);
      const size_t casesBefore = cases.size();
      instr.CaseFirst = uint32_t(casesBefore);
      MatchQuickInstr(params, &instr, &cases);
      if (instr.Run == nullptr) {
        instr.Run = RunQuickPlain;
        cases.resize(casesBefore);
      }
      instr.RunOne = instr.Run;
      indexAt[at - base] = uint32_t(instrs.size());
      instrs.push_back(instr);
      at = instr.Next;
    }
  }
  code->Instrs = CopyOut(instrs);
  code->Cases = CopyOut(cases);
  code->IndexAt = indexAt;
  code->Base = base;
  code->Span = span;
  // The threads between records, now that every record has its place.
  for (size_t i = 0; i < instrs.size(); ++i) {
    TQuickInstr& instr = code->Instrs[i];
    instr.Cases = code->Cases + instr.CaseFirst;
    // Records follow the code, so the record at Next, if there is one, is the
    // next record.
    if (RecordAt(*code, instr.Next) != nullptr) instr.Flags |= kQuickFallsThrough;
    if ((instr.Flags & kQuickAIsAddress) != 0) instr.JumpInstr = RecordAt(*code, uint32_t(instr.A));
  }
  for (size_t i = 0; i < cases.size(); ++i) {
    if (!code->Cases[i].Ends) code->Cases[i].Instr = RecordAt(*code, code->Cases[i].Address);
  }
  FuseQuickInstrs(code->Instrs, instrs.size());
}

bool HasQuickRoutine(const TQuickInstr& instr) {
  return instr.RunOne != &RunQuickPlain;
}

void FreeQuickCode(TQuickCode* code) {
  std::free(code->Instrs);
  std::free(code->IndexAt);
  std::free(code->Cases);
  *code = TQuickCode{};
}
