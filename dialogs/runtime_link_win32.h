// What every part of the dialog library shares: the runtime functions it
// calls back, looked up by name in the module that runs the script; the one
// font its prompts use; and the message boxes that report failures.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "include/zorvat.h"

// Results shared by the exports.
constexpr int32_t kResultClosed = -1;
constexpr int32_t kResultNoRuntimeFunction = -2;
constexpr int32_t kResultStoreRefused = -3;
constexpr int32_t kResultNotCreated = -4;
constexpr int32_t kResultNoThread = -5;

// The named function of the runtime that runs the script whose context this
// is, or null after a message box saying it is missing. The context's first
// field is that runtime's module handle.
void* FindRuntimeFunction(const TScriptContext* context, const char* name);

template <typename T>
T RuntimeFunction(const TScriptContext* context, const char* name) {
  return reinterpret_cast<T>(FindRuntimeFunction(context, name));
}

// The shared font of every prompt control ("MS Sans Serif", 11 pixels).
HFONT SharedFont();

// Registers a window class of the library once; false when that failed.
bool RegisterLibraryClass(const wchar_t* name, WNDPROC procedure, const wchar_t* icon, int brush);

void ShowErrorBox(const std::wstring& text, const wchar_t* caption);
// The box for a window that CreateWindowEx refused, with the Windows error.
void ShowCreateWindowError(const wchar_t* what);

// Texts of the interface are UTF-16, as the platform's wide texts are.
inline const wchar_t* Wide(const char16_t* text) {
  return reinterpret_cast<const wchar_t*>(text);
}
inline const char16_t* Utf16(const wchar_t* text) {
  return reinterpret_cast<const char16_t*>(text);
}

// Centres a window of the given outer size on the screen and sizes it.
void CentreOnScreen(HWND window, int width, int height);

// Sets the font on a control; the control does not own it.
void UseFont(HWND control, HFONT font);

// The module of the library itself, for registrations and for keeping it
// loaded while a form's thread runs.
HINSTANCE LibraryModule();

// Called when the library is unloaded: unregisters the classes and deletes
// the font.
void ReleaseLibraryResources();
