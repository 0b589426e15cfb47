// Quick code: what preparation decodes once so that the instructions a
// script runs most do not decode their parameters on every execution.
//
// Every instruction of every code section gets a record, found from its
// image offset through a table of one index per byte of code. A record names
// the routine the run loop calls for the instruction. For the common shapes
// of the hottest commands (a counter changed in place, a number stored or
// compared, a multi-way branch over numbers, a jump or call to a label) that
// is a quick routine, which works from operands decoded at preparation; for
// every other instruction it is the command's own handler, which reads its
// parameters from IP.
//
// Records are threaded: a routine returns the record of the instruction that
// runs next, which is the next record for the fall-through and was worked
// out at preparation for jumps to numbers, so that the run loop goes from
// record to record without looking anything up. When the loop must look at
// the step itself (a status other than 0, or IP left where no record was
// worked out: the end of a section, an end byte the handler stopped at), the
// routine returns instead the record of the instruction whose step that was,
// marked (QuickLook), and the loop reports an error at that instruction.
// Either way the routine leaves the status in ScriptErrorCode and IP in the
// context, as the loop did after every command.
//
// A quick routine does exactly what the command's handler does. It is only
// chosen for parameter kinds whose reading cannot fail (numbers written in
// the instruction, or variables), and when what it finds at run time is
// anything but the plain case (a variable that is missing or of another
// kind, an operation that fails), it changes nothing and hands the
// instruction to the command's handler, with IP where the handler expects
// it. So statuses, Error_At and every variable come out as the handler would
// leave them; the execution fuzzer checks that against runs without quick
// code.
#pragma once

#include <cstdint>
#include <vector>

#include "runtime/core/types.h"

struct TCodeBounds;

// The run loop calls a routine for every instruction: on 32-bit x86 the two
// arguments travel in registers rather than on the stack.
#if defined(__i386__)
#define ZV_QUICK __attribute__((regparm(2)))
#else
#define ZV_QUICK
#endif

struct TQuickInstr;
typedef const TQuickInstr*(ZV_QUICK* TQuickRoutine)(TScriptContext* context,
                                                    const TQuickInstr* instr);

// One case of a multi-way branch: the value that selects it and where it
// goes; `Ends` when the address was the default marker (the branch ends
// without moving).
struct TQuickCase {
  int64_t Value;
  const TQuickInstr* Instr;  // the record at Address, or null (see TQuickInstr::JumpInstr)
  uint32_t Address;
  bool Ends;
};

// Operand flags of a record.
constexpr uint8_t kQuickAIsVariable = 1;  // A holds a variable reference, not a value
constexpr uint8_t kQuickBIsVariable = 2;
constexpr uint8_t kQuickHasDefault = 8;   // multi-way branch: a default address follows the cases
constexpr uint8_t kQuickAIsAddress = 16;  // a jump or call: A is its address
// An instruction starts at Next; its record is the next one.
constexpr uint8_t kQuickFallsThrough = 32;

struct TQuickInstr {
  // What the run loop calls: RunOne, or a routine that also runs the next
  // instruction when both take their common path (a pair that scripts write
  // again and again, fused at preparation).
  TQuickRoutine Run;
  // The routine of this instruction alone, which single steps call.
  TQuickRoutine RunOne;
  uint32_t At;      // the offset of the instruction
  uint32_t Next;    // the offset after the whole instruction
  uint32_t Target;  // the variable reference of the first parameter
  uint8_t Flags;
  int64_t A;  // operands: values, or variable references (see the flags)
  int64_t B;
  // A jump or call to the number A: the record of the instruction at A, or
  // null when none starts there (the jump then fails the handler's way).
  const TQuickInstr* JumpInstr;
  const TQuickCase* Cases;  // multi-way branch: its cases, then the default if there is one
  uint32_t CaseFirst;       // where they start in the case table (while it is built)
  uint32_t CaseCount;       // the cases, the default not counted
  TStatus (*Plain)(TScriptContext* context);  // the command's handler
};

// A record marked as "look at this instruction's step": records are aligned,
// so the lowest bit of the address is free.
inline const TQuickInstr* QuickLook(const TQuickInstr* instr) {
  return reinterpret_cast<const TQuickInstr*>(reinterpret_cast<uintptr_t>(instr) | 1);
}
inline bool IsQuickLook(const TQuickInstr* answer) {
  return (reinterpret_cast<uintptr_t>(answer) & 1) != 0;
}
inline const TQuickInstr* QuickLooked(const TQuickInstr* answer) {
  return reinterpret_cast<const TQuickInstr*>(reinterpret_cast<uintptr_t>(answer) & ~uintptr_t(1));
}

// The index of "no instruction starts here" in the table of record indexes.
constexpr uint32_t kNoQuickInstr = 0xFFFFFFFFu;

struct TQuickCode {
  TQuickInstr* Instrs;
  // One entry per byte from the start of the first code section to the end
  // of the last: the record of the instruction that starts there. Data after
  // the code (the long data, most of all) costs nothing.
  uint32_t* IndexAt;
  uint32_t Base;  // the image offset of IndexAt[0]
  uint32_t Span;  // the number of entries
  TQuickCase* Cases;
};

// What a command's parameters look like to the quick matcher: the kind and
// the value of each, as far as the list goes (at most kQuickMaxParams).
constexpr uint32_t kQuickMaxParams = 256;
struct TQuickParams {
  uint32_t Count;  // parameters before the end byte or the command's count
  bool Ended;      // the list ended with an end byte
  uint8_t Kind[kQuickMaxParams];
  int64_t AsInt64[kQuickMaxParams];   // a literal read as FetchInt64 reads it
  uint32_t AsDWORD[kQuickMaxParams];  // a literal or reference read as FetchDWORD reads it
  bool TooMany;                       // more parameters than are kept here
};

// Chooses the quick routine for an instruction whose command's handler is
// `instr->Plain` (defined by the command library, which knows the commands):
// fills Run, the operands and the flags of `instr`, appending a multi-way
// branch's cases to `cases`, or leaves Run null.
void MatchQuickInstr(const TQuickParams& params, TQuickInstr* instr,
                     std::vector<TQuickCase>* cases);

// Fuses pairs of instructions that follow each other (defined by the command
// library): sets Run of the first of a pair whose two routines it knows.
void FuseQuickInstrs(TQuickInstr* instrs, size_t count);

// Builds the quick code for the code sections of an image that preparation
// has checked: fatal when memory runs out, as the rest of preparation is.
void BuildQuickCode(const uint8_t* image, const TCodeBounds* sections, uint32_t sectionCount,
                    TQuickCode* code);
void FreeQuickCode(TQuickCode* code);

// The ends of a step, for the routines.
//
// The handler runs the instruction: IP where the handler expects it.
ZV_QUICK const TQuickInstr* RunQuickPlain(TScriptContext* context, const TQuickInstr* instr);
// The step of `instr` ended with `status` and IP wherever it was left: the
// record at IP when the status is 0 and IP is an instruction start of the
// section, else QuickLook(instr).
const TQuickInstr* FinishQuickStep(TScriptContext* context, const TQuickInstr* instr,
                                   TStatus status);
// Whether preparation chose a quick routine for the instruction.
bool HasQuickRoutine(const TQuickInstr& instr);

// The record index of the instruction that starts at `offset`, an offset
// inside a code section (the run loop's positions are), or kNoQuickInstr.
inline uint32_t QuickIndexAt(const TQuickCode& code, uint32_t offset) {
  return code.IndexAt[offset - code.Base];
}
// The same for any offset of the image.
inline uint32_t QuickIndexAnywhere(const TQuickCode& code, uint32_t offset) {
  return offset - code.Base < code.Span ? code.IndexAt[offset - code.Base] : kNoQuickInstr;
}
// The record of the instruction that starts at `offset` (an instruction start).
inline const TQuickInstr* QuickInstrAt(const TQuickCode& code, uint32_t offset) {
  return code.Instrs + QuickIndexAt(code, offset);
}
