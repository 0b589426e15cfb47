// Setting up a script context for an image.
#pragma once

#include "runtime/core/types.h"

// Fills a context for the image at `image` (which stays owned by the caller):
// module handle, image, section index, "LDS", the settings at their initial
// values. The record's growable arrays must be empty. Result 0, or 2 when the
// image's directory cannot be read (the context then has no sections).
TStatus InitContext(TScriptContext* context, uint8_t* image, uint32_t length);
