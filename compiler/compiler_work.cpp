#include "compiler/compiler_work.h"

#include <cstdlib>

#include "base/fatal.h"

TCompilerWork* EnsureWork(TRawScript* raw) {
  if (raw->Work == nullptr) {
    raw->Work = static_cast<TCompilerWork*>(std::calloc(1, sizeof(TCompilerWork)));
    if (raw->Work == nullptr) FatalOutOfMemory();
  }
  return raw->Work;
}

void FreeWork(TRawScript* raw) {
  TCompilerWork* work = raw->Work;
  if (work == nullptr) return;
  FreeLongDataIndex(work->LongData);
  HashIndexFree(work->SectionNames);
  GrowArrayFree(work->Payload);
  GrowArrayFree(work->Item);
  FreeExtendedScratch(work->Floats);
  TextFree(work->Path);
  GrowArrayFree(work->FileBytes);
  GrowArrayFree(work->LineMap);
  std::free(work);
  raw->Work = nullptr;
}
