// Windows texts are UTF-16 in both wchar_t and char16_t; the libraries'
// public headers use char16_t, the tests' paths are std::wstring.
#pragma once

#include <string>

inline const char16_t* U16(const wchar_t* text) {
  return reinterpret_cast<const char16_t*>(text);
}
inline char16_t* U16(wchar_t* text) {
  return reinterpret_cast<char16_t*>(text);
}
inline const char16_t* U16(const std::wstring& text) {
  return U16(text.c_str());
}
