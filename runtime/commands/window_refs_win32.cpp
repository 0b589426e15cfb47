#include "runtime/commands/window_refs_win32.h"

#include <cstring>

#include "runtime/core/fetch.h"
#include "runtime/core/variables.h"

TStatus ReadSingleWindow(TScriptContext* context, uint32_t reference, HWND* window) {
  uint32_t value;
  if (GetVarDWORDOrFirst(context, reference, &value) != kStatusOk) return kStatusBadWindowRef;
  *window = WindowFromValue(value);
  return kStatusOk;
}

TStatus FetchSingleWindow(TScriptContext* context, HWND* window) {
  uint32_t reference;
  if (FetchRequiredDWORD(context, &reference) != kStatusOk) return kStatusBadParam;
  return ReadSingleWindow(context, reference, window);
}

TStatus FetchSingleWindowStrict(TScriptContext* context, HWND* window) {
  uint32_t reference;
  if (FetchRequiredDWORD(context, &reference) != kStatusOk) return kStatusBadParam;
  uint32_t value;
  const TStatus status = GetVarDWORDOrFirst(context, reference, &value);
  if (status != kStatusOk) return status;
  *window = WindowFromValue(value);
  return kStatusOk;
}

TStatus ReadWindowSet(TScriptContext* context, uint32_t reference, TWindowSet* set) {
  const TZorvatVariable* v = ResolveVar(context, reference);
  if (v == nullptr) return kStatusNoSuchVariable;
  set->Windows.clear();
  if (v->VarType == vtDWORD) {
    set->Single = true;
    set->Windows.push_back(WindowFromValue(v->AsDWORD));
    return kStatusOk;
  }
  if (v->VarType != vtDWORDArray) return kStatusBadWindowRef;
  set->Single = false;
  const uint32_t count = UA_ItemCount(v->UA, vtDWORDArray);
  set->Windows.reserve(count);
  for (uint32_t i = 0; i < count; ++i) {
    uint32_t value;
    std::memcpy(&value, UA_Data(v->UA) + i * sizeof value, sizeof value);
    set->Windows.push_back(WindowFromValue(value));
  }
  return kStatusOk;
}

// SendMessageW cannot report a failure, so a window that is already gone is
// caught before the send; otherwise a script waiting without limit would be
// told that a message reached a window that does not exist.
TStatus SendWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                          uint32_t timeoutMs, LRESULT* result) {
  LRESULT answer = 0;
  if (timeoutMs == 0) {
    if (!IsWindow(window)) return kStatusMessageFailed;
    answer = SendMessageW(window, message, wParam, lParam);
  } else {
    DWORD_PTR value = 0;
    if (SendMessageTimeoutW(window, message, wParam, lParam, SMTO_BLOCK, timeoutMs, &value) == 0) {
      return kStatusMessageFailed;
    }
    answer = static_cast<LRESULT>(value);
  }
  if (result != nullptr) *result = answer;
  return kStatusOk;
}

TStatus StoreWindowArray(TScriptContext* context, uint32_t reference,
                         const std::vector<HWND>& windows) {
  PArrayHeader array = UA_New(uint32_t(windows.size()), sizeof(uint32_t));
  if (array == nullptr) return kStatusOutOfMemory;
  for (size_t i = 0; i < windows.size(); ++i) {
    const uint32_t value = HandleValue(windows[i]);
    std::memcpy(UA_Data(array) + i * sizeof value, &value, sizeof value);
  }
  const TStatus stored = StoreArrayRef(context, reference, array, vtDWORDArray);
  if (stored != kStatusOk) UA_Free(&array);
  return stored;
}
