// Part of zv_testlib.dll: plays a user who drops three files onto the dialog
// library's drop prompt. Scripts call DropFilesOnto before they open the
// prompt, which blocks them; a thread of this library then finds the prompt
// by its class and caption and posts it a WM_DROPFILES whose HDROP it builds
// itself, as the shell would. The third path is longer than the prompt's
// first buffer, so the prompt must grow it.
#include <windows.h>
// shlobj.h needs the types windows.h defines.
#include <shlobj.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

struct TDropRequest {
  std::wstring Caption;
  std::vector<std::wstring> Paths;
};

HGLOBAL BuildDrop(const std::vector<std::wstring>& paths) {
  size_t units = 1;
  for (const std::wstring& path : paths) units += path.size() + 1;
  HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + units * sizeof(wchar_t));
  if (memory == nullptr) return nullptr;
  auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
  drop->pFiles = sizeof(DROPFILES);
  drop->fWide = TRUE;
  auto* out = reinterpret_cast<wchar_t*>(drop + 1);
  for (const std::wstring& path : paths) {
    std::memcpy(out, path.c_str(), (path.size() + 1) * sizeof(wchar_t));
    out += path.size() + 1;
  }
  GlobalUnlock(memory);
  return memory;
}

DWORD WINAPI PostDrop(void* parameter) {
  auto* request = static_cast<TDropRequest*>(parameter);
  HWND prompt = nullptr;
  for (int tries = 0; tries < 600 && prompt == nullptr; ++tries) {
    prompt = FindWindowW(L"TovalindDDFWnd", request->Caption.c_str());
    if (prompt == nullptr) Sleep(50);
  }
  if (prompt != nullptr) {
    HGLOBAL drop = BuildDrop(request->Paths);
    if (drop != nullptr && !PostMessageW(prompt, WM_DROPFILES, WPARAM(drop), 0)) GlobalFree(drop);
  }
  delete request;
  return 0;
}

}  // namespace

// 0 when the thread that will drop the files has started.
extern "C" __declspec(dllexport) uint32_t __stdcall DropFilesOnto(const wchar_t* caption) {
  auto* request = new TDropRequest{caption,
                                   {L"C:\\drop\\first.txt", L"C:\\drop\\second file.txt",
                                    L"C:\\drop\\" + std::wstring(3000, L'x') + L".txt"}};
  HANDLE thread = CreateThread(nullptr, 0, PostDrop, request, 0, nullptr);
  if (thread == nullptr) {
    delete request;
    return 1;
  }
  CloseHandle(thread);
  return 0;
}
