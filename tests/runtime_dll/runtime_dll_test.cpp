// Zorvat.dll through its exports, as a host and a native library use it.
#include <gtest/gtest.h>
#include <windows.h>

#include "base/image_format.h"
#include "base/status.h"
#include "include/zorvat.h"
#include "runtime/core/executor.h"
#include "runtime/core/variables.h"
#include "runtime/values/list.h"
#include "runtime/values/text.h"
#include "tests/support/box_watcher.h"
#include "tests/support/command_codes.h"
#include "tests/support/image_builder.h"
#include "tests/support/test_process.h"
#include "tests/support/utf16.h"

namespace {

struct Runtime {
  HMODULE module = LoadLibraryW(ZORVAT_BIN_DIR L"\\Zorvat.dll");
  ~Runtime() { FreeLibrary(module); }
  template <typename T>
  T Get(const char* name) {
    return reinterpret_cast<T>(reinterpret_cast<void*>(GetProcAddress(module, name)));
  }
};

typedef uint32_t(__stdcall* TStoreResults)(TScriptContext*, uint32_t, uint32_t, uint32_t);
typedef uint32_t(__stdcall* TStoreDWORDInto)(TScriptContext*, uint32_t);

std::wstring WriteImage(const Bytes& image, const TempFile& file) {
  EXPECT_TRUE(WriteFileBytes(std::string(file.Path().begin(), file.Path().end()), image));
  return file.Path();
}

TEST(RuntimeLibrary, ExportsTheVersion) {
  Runtime runtime;
  ASSERT_NE(runtime.module, nullptr);
  EXPECT_EQ(runtime.Get<TZvKernelVersion>("KernelVersion")(), kRuntimeVersion);
}

TEST(RuntimeLibrary, LoadAndExecuteStatuses) {
  Runtime runtime;
  BoxWatcher boxes(IDOK);
  TZvLoadAndExecute run = runtime.Get<TZvLoadAndExecute>("LoadAndExecute");
  TempFile missing(L"missing");
  EXPECT_EQ(run(U16(missing.Path()), nullptr), kStatusNoImage);

  ImageBuilder b;
  CodeWriter(b.Add("GCS", 1)).Cmd(kExit).Byte(0);
  CodeWriter(b.Add("OTHER", 1)).Cmd(kExit).Byte(4);
  Bytes image = b.Build(true);
  TempFile file(L"image");
  std::wstring path = WriteImage(image, file);
  EXPECT_EQ(run(U16(path), nullptr), kStatusOk);  // null: "GCS"
  EXPECT_EQ(run(U16(path), "OTHER"), 4u);
  EXPECT_EQ(run(U16(path), "ABSENT"), kStatusNoSuchSection);
  ASSERT_TRUE(boxes.WaitForBoxes(1, 10000));  // the exit code 4 under policy 1

  // A damaged image is refused before anything runs: OTHER would exit 4.
  image[40] ^= 1;
  WriteImage(image, file);
  EXPECT_EQ(run(U16(path), "OTHER"), kStatusChecksumMismatch);
  EXPECT_EQ(boxes.Boxes().size(), 1u);
}

// A script that allocates three globals and then stops on a failing command
// (policy 0), so that its variables stay for the library to fill; its CHECK
// section exits with global 0.
struct ThreeStepRun {
  Runtime runtime;
  Bytes image;
  TScriptContext context{};

  ThreeStepRun() {
    ImageBuilder b;
    CodeWriter(b.Add("GCS", 1)).Cmd(kGlobalsAlloc).Byte(3).End().Cmd(kGlobalsCount).Default();
    CodeWriter(b.Add("CHECK", 1)).Cmd(kExit).Var(0);
    image = b.Build();
    EXPECT_EQ(
        runtime.Get<TZvInitContext>("InitContext")(&context, image.data(), uint32_t(image.size())),
        0u);
    context.ActionAfterError = kErrorPolicyStop;
    EXPECT_EQ(runtime.Get<TZvCompileScript>("CompileScript")(&context), 0u);
    EXPECT_EQ(runtime.Get<TZvExecuteByteCode>("ExecuteByteCode")(&context, "GCS"), kStatusBadParam);
  }
  // The exported interface has no release step; the runtime's own does it.
  ~ThreeStepRun() { ReleaseContext(&context); }
};

TEST(RuntimeLibrary, NativeLibraryStoresThroughTheVarExports) {
  ThreeStepRun run;
  EXPECT_EQ(run.context.MyOwnModule, uint32_t(uintptr_t(run.runtime.module)));
  HMODULE lib = LoadLibraryW(ZORVAT_TESTLIB);
  ASSERT_NE(lib, nullptr);
  auto store =
      reinterpret_cast<TStoreResults>(reinterpret_cast<void*>(GetProcAddress(lib, "StoreResults")));
  ASSERT_EQ(store(&run.context, 0, 1, 2), 0u);

  TZorvatVariable* dword = ResolveVar(&run.context, 0);
  EXPECT_EQ(dword->VarType, vtDWORD);
  EXPECT_EQ(dword->AsDWORD, 0xC0FFEEu);
  TZorvatVariable* text = ResolveVar(&run.context, 1);
  ASSERT_EQ(text->VarType, vtUnicodeString);
  EXPECT_EQ(std::u16string(USTR_Chars(text->UA), USTR_Length(text->UA)), u"from the library");
  TZorvatVariable* list = ResolveVar(&run.context, 2);
  ASSERT_EQ(list->VarType, vtUnicodeStringList);
  ASSERT_EQ(xL_Count(list->UA), 2u);
  EXPECT_EQ(USTR_Length(xL_Item(list->UA, 0)), 3u);
  EXPECT_EQ(USTR_Length(xL_Item(list->UA, 1)), 3u);
  // The script sees what the library stored.
  EXPECT_EQ(run.runtime.Get<TZvExecuteByteCode>("ExecuteByteCode")(&run.context, "CHECK"),
            0xC0FFEEu);
  FreeLibrary(lib);
}

TEST(RuntimeLibrary, StoreIntoAnUnallocatedVariableChangesNothing) {
  ThreeStepRun run;
  HMODULE lib = LoadLibraryW(ZORVAT_TESTLIB);
  ASSERT_NE(lib, nullptr);
  auto store = reinterpret_cast<TStoreDWORDInto>(
      reinterpret_cast<void*>(GetProcAddress(lib, "StoreDWORDInto")));
  EXPECT_EQ(store(&run.context, 3), kStatusNoSuchVariable);
  EXPECT_EQ(store(&run.context, 0x80000005), kStatusNoSuchVariable);
  EXPECT_EQ(run.context.StackFrames.Items[0].Count, 3u);
  for (uint32_t i = 0; i < 3; ++i) EXPECT_EQ(ResolveVar(&run.context, i)->VarType, vtUninitialized);
  EXPECT_EQ(store(&run.context, 2), 0u);
  FreeLibrary(lib);
}

}  // namespace
