#include "runtime/core/runtime_api.h"

#include "base/status.h"
#include "runtime/core/clock_restore.h"
#include "runtime/core/context.h"
#include "runtime/core/executor.h"
#include "runtime/core/image.h"
#include "runtime/core/library_list.h"

TStatus LoadAndExecute(const char16_t* fileName, const char* sectionName) {
  uint8_t* image = nullptr;
  uint32_t length = 0;
  TStatus status = LoadImageFile(fileName, &image, &length);
  if (status != kStatusOk) return status;
  status = ValidateImage(image, length);
  if (status == kStatusOk) {
    TScriptContext context{};
    status = InitContext(&context, image, length);
    if (status == kStatusOk) status = PrepareImage(&context);
    if (status == kStatusOk) status = ExecuteByteCode(&context, sectionName ? sectionName : "GCS");
    ReleaseContext(&context);
  }
  FreeImage(image);
  return status;
}

void OnRuntimeUnload() {
  LibList_FreeAll();
  if (AutoRestoreOnUnload() != 0) RestoreSystemTime();
}
