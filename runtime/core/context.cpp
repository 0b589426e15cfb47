#include "runtime/core/context.h"

#include <cstddef>
#include <cstring>
#include <type_traits>

#include "base/platform.h"
#include "base/status.h"
#include "include/zorvat.h"
#include "runtime/core/image.h"
#include "runtime/core/variables.h"

// The context record of the public header is this record as hosts and
// native libraries see it, in both builds.
#define ZV_SAME_FIELD(field)                                                                \
  static_assert(offsetof(TScriptContext, field) == offsetof(TScriptContextRecord, field) && \
                sizeof(TScriptContext::field) == sizeof(TScriptContextRecord::field))
ZV_SAME_FIELD(MyOwnModule);
ZV_SAME_FIELD(ScriptStart);
ZV_SAME_FIELD(ScriptLength);
ZV_SAME_FIELD(SectionCount);
ZV_SAME_FIELD(SectionIndex);
ZV_SAME_FIELD(StackFrames);
ZV_SAME_FIELD(CallStack);
ZV_SAME_FIELD(SecurityAttributes);
ZV_SAME_FIELD(LastStartedProcess);
ZV_SAME_FIELD(LongDataSection);
ZV_SAME_FIELD(ActionAfterError);
ZV_SAME_FIELD(IgnoreSymlinks);
ZV_SAME_FIELD(FileDialogBufferSize);
ZV_SAME_FIELD(KeyPressTime);
ZV_SAME_FIELD(SendMsgTimeout);
ZV_SAME_FIELD(IP);
ZV_SAME_FIELD(ScriptErrorCode);
ZV_SAME_FIELD(Error_At);
ZV_SAME_FIELD(LastWindowsError);
ZV_SAME_FIELD(ExitFlag);
ZV_SAME_FIELD(OnErrorGoto);
#undef ZV_SAME_FIELD
static_assert(sizeof(TScriptContext) == sizeof(TScriptContextRecord));
static_assert(std::is_standard_layout_v<TScriptContext>);

TStatus InitContext(TScriptContext* context, uint8_t* image, uint32_t length) {
  // A record used again must not be cleared under a library's store.
  MarkContextLive(context, false);
  std::memset(static_cast<void*>(context), 0, sizeof *context);
  context->MyOwnModule = PlatformOwnModule();
  context->ScriptStart = image;
  context->ScriptLength = length;
  TStatus status = BuildSectionIndex(context);
  if (const TSection* lds = FindImageSection(context, "LDS")) {
    context->LongDataSection = lds->SectionPtr;
  }
  context->ActionAfterError = kDefaultActionAfterError;
  context->IgnoreSymlinks = 0;
  context->FileDialogBufferSize = kDefaultFileDialogBufferSize;
  context->KeyPressTime = kDefaultKeyPressTime;
  context->SendMsgTimeout = kDefaultSendMsgTimeout;
  context->ExitFlag = false;
  MarkContextLive(context, true);
  return status;
}

TVarType ParamKindToVarKind(TParamType kind) {
  switch (kind) {
    case ptInteger:
      return vtInteger;
    case ptExtended:
      return vtExtended;
    case ptIntArray:
      return vtIntArray;
    case ptExtArray:
      return vtExtArray;
    case ptBinBlock:
      return vtBinBlock;
    case ptBinBlockList:
      return vtBinBlockList;
    case ptDWORD:
    case ptByte:
    case ptWord:
      return vtDWORD;
    case ptDWORDArray:
      return vtDWORDArray;
    case ptUnicodeString:
      return vtUnicodeString;
    case ptUnicodeStringList:
      return vtUnicodeStringList;
    default:
      return vtInvalid;
  }
}

uint32_t VarKindElemSize(TVarType kind) {
  switch (kind) {
    case vtIntArray:
      return kIntElemSize;
    case vtExtArray:
      return kExtElemSize;
    case vtBinBlock:
      return kByteElemSize;
    case vtDWORDArray:
      return kDWORDElemSize;
    case vtUnicodeString:
      return kCharElemSize;
    case vtBinBlockList:
    case vtUnicodeStringList:
      return kListElemSize;
    default:
      return 0;
  }
}
