// Reading a whole file from its start, piece by piece, for the file hash
// commands. The Windows build opens the file shared for reading only, so that
// nobody writes it while it is hashed; the portable build reads through the
// platform layer.
#pragma once

#include <cstdint>

#include "runtime/core/types.h"

struct THashedFile {
  void* Handle = nullptr;
  uint64_t Size = 0;    // taken when the file was opened
  uint64_t Offset = 0;  // of the next byte to read
};

// 0, or 1024 when the file cannot be opened or its size cannot be read. The
// Windows build records the system error in LastWindowsError.
TStatus OpenHashedFile(TScriptContext* context, const char16_t* path, THashedFile* file);
// Reads the next `n` bytes: 0 when all of them came, else 1028 (a file that
// shrank under us, or a read error), with the system error recorded.
TStatus ReadHashedFile(TScriptContext* context, THashedFile* file, void* buffer, uint32_t n);
void CloseHashedFile(THashedFile* file);
