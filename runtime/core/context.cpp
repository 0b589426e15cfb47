#include "runtime/core/context.h"

#include <cstring>

#include "runtime/core/image.h"
#include "base/platform.h"
#include "base/status.h"

TStatus InitContext(TScriptContext* context, uint8_t* image, uint32_t length) {
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

bool VarKindHasItems(TVarType kind) { return VarKindElemSize(kind) != 0; }
