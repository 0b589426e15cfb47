// What every part of the dialog library shares: the runtime functions it
// calls back, looked up by name in the module that runs the script; the one
// font its prompts use; and the message boxes that report failures.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

typedef uint32_t(__stdcall* TVarStoreUnicodeString)(void* context, uint32_t variable,
                                                    const wchar_t* text, uint32_t length);
typedef uint32_t(__stdcall* TVarInitUStrL)(void* context, uint32_t variable);
typedef uint32_t(__stdcall* TVarAddItemUStrL)(void* context, uint32_t variable, const wchar_t* text,
                                              int32_t length);
typedef uint32_t(__stdcall* TVarStoreDWORD)(void* context, uint32_t variable, uint32_t value);

// Results shared by the exports.
constexpr int32_t kResultClosed = -1;
constexpr int32_t kResultNoRuntimeFunction = -2;
constexpr int32_t kResultStoreRefused = -3;
constexpr int32_t kResultNotCreated = -4;
constexpr int32_t kResultNoThread = -5;

// The named function of the runtime that runs the script whose context this
// is, or null after a message box saying it is missing. The context's first
// field is that runtime's module handle.
void* FindRuntimeFunction(const void* context, const char* name);

template <typename T>
T RuntimeFunction(const void* context, const char* name) {
  return reinterpret_cast<T>(FindRuntimeFunction(context, name));
}

// The shared font of every prompt control ("MS Sans Serif", 11 pixels).
HFONT SharedFont();

// Registers a window class of the library once; false when that failed.
bool RegisterLibraryClass(const wchar_t* name, WNDPROC procedure, const wchar_t* icon, int brush);

void ShowErrorBox(const std::wstring& text, const wchar_t* caption);
// The box for a window that CreateWindowEx refused, with the Windows error.
void ShowCreateWindowError(const wchar_t* what);

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
