#include "compiler/compiler_types.h"

TOneScriptLine LineOrigin(const TRawScript* raw, int32_t index) {
  if (index >= 0 && uint32_t(index) < raw->ScriptLines.Count) {
    return raw->ScriptLines.Items[index];
  }
  return {kMainScriptModule, uint32_t(index) + 1};
}
