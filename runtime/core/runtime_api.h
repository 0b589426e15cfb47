// What a host calls to run an image: the one-call form, and the version.
// The exported functions of Zorvat.dll and ZorvatEx.exe (exports.cpp) are
// thin wrappers over these and over InitContext, PrepareImage,
// ExecuteByteCode and the Var_ stores.
#pragma once

#include "runtime/core/types.h"

// Reads the image from the end of `fileName`, checks, prepares and runs the
// named code section ("GCS" for null), and frees everything it made on every
// path. The result is the load or check status (1, 2, 3, 21, 22), 23, 104,
// 105, or the status the script ended with.
TStatus LoadAndExecute(const char16_t* fileName, const char* sectionName);

// What happens when the runtime module goes away (library unload or process
// end): the libraries that scripts loaded are released, then the clock is
// restored when runtime setting 8 asks for it.
void OnRuntimeUnload();
