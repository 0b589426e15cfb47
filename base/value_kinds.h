// The kinds of values and of bytecode parameters, shared by the runtime and
// the compiler.
#pragma once

#include <cstdint>

// 80-bit x87 extended float on both targets (i686 MinGW and x86-64 Linux).
// Wherever a value is kept in 10 bytes (images, arrays, files, process memory)
// it is moved with LoadExtended/StoreExtended.
typedef long double TExtended;
static_assert(sizeof(TExtended) >= 10, "long double must be the x87 80-bit type");

// The kind of value a variable holds.
enum TVarType : uint8_t {
  vtUninitialized = 0,
  vtInteger = 1,
  vtExtended = 2,
  vtIntArray = 3,
  vtExtArray = 4,
  vtBinBlock = 5,
  vtBinBlockList = 6,
  vtDWORD = 7,
  vtDWORDArray = 8,
  vtUnicodeString = 9,
  vtUnicodeStringList = 10,
  vtInvalid = 11,
};

// The kind byte of a parameter in the bytecode. The compiler and the runtime
// share these ordinals.
enum TParamType : uint8_t {
  ptDefault = 0,
  ptInteger = 1,
  ptExtended = 2,
  ptIntArray = 3,
  ptExtArray = 4,
  ptBinBlock = 5,
  ptBinBlockList = 6,
  ptDWORD = 7,
  ptDWORDArray = 8,
  ptVariable = 9,
  ptEndOfParam = 10,
  ptByte = 11,
  ptWord = 12,
  ptUnicodeString = 13,
  ptUnicodeStringList = 14,
};
constexpr unsigned kParamTypeCount = 15;
