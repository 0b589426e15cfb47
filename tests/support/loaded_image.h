// An image built by a test, loaded into a context and prepared; everything
// is released when the object goes.
#pragma once

#include <string>

#include "runtime/core/context.h"
#include "runtime/core/executor.h"
#include "runtime/core/image.h"
#include "runtime/core/variables.h"
#include "tests/support/image_builder.h"

struct LoadedImage {
  Bytes image;
  TScriptContext context{};
  TStatus prepared = 0;

  explicit LoadedImage(Bytes bytes) : image(std::move(bytes)) {
    InitContext(&context, image.data(), uint32_t(image.size()));
    prepared = PrepareImage(&context);
  }
  ~LoadedImage() { ReleaseContext(&context); }
  LoadedImage(const LoadedImage&) = delete;
  LoadedImage& operator=(const LoadedImage&) = delete;

  TStatus Run(const char* section = "GCS") { return ExecuteByteCode(&context, section); }

  // Puts IP at `offset` inside the code section that holds it, as the
  // executor does before a step, with frame 0 in place.
  void StandAt(uint32_t offset) {
    const TCodeBounds* bounds = FindCodeBounds(context.Prepared, offset);
    context.CodeStart = bounds ? bounds->Start : 0;
    context.CodeEnd = bounds ? bounds->End : 0;
    context.IP = offset;
    if (context.StackFrames.Count == 0) PushFrame(&context);
  }
};
