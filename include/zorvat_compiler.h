/* Zorvat_Compiler.dll as a host sees it.
 *
 * The library exports undecorated names, all __stdcall. A host loads the
 * command list once (InitializeCompiler), then compiles script files into
 * image files (CompileZorvatFile) or into copies of the stand-alone runner
 * that it has placed at the output path (CompileZorvatEXE); the single steps
 * of a compilation are exported too, for hosts that supply the script's
 * lines themselves. Texts are zero-terminated UTF-16.
 *
 * A boolean crosses the interface as one byte: an argument is read from its
 * low byte only, and a result is 0 or 1 in the whole register.
 *
 * The functions are declared as pointer types, because a host finds them with
 * GetProcAddress under the names given beside each type. */
#ifndef ZORVAT_COMPILER_H
#define ZORVAT_COMPILER_H

#include <stdint.h>
#ifndef __cplusplus
#include <uchar.h>
#endif

#ifdef _WIN32
#define ZC_STDCALL __stdcall
#else
#define ZC_STDCALL
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* The compiler's working record for one compilation; CompileZorvatFile and
 * CompileZorvatEXE take null to use one of their own. */
typedef struct TRawScript TRawScript;

/* Units of the buffer that receives the path of the module an error is in. */
#define ZC_ERROR_MODULE_UNITS 261
/* The error line when the error has no line. */
#define ZC_NO_LINE 0xFFFFFFFFu

/* "KernelVersion": the compiler's version. */
typedef int32_t(ZC_STDCALL* TZcKernelVersion)(void);
/* "InitializeCompiler": loads the command list (and the keyword file beside
 * it); 0 on success. */
typedef int32_t(ZC_STDCALL* TZcInitializeCompiler)(const char16_t* commandListPath);
/* "FinalizeCompiler": releases the command list. */
typedef void(ZC_STDCALL* TZcFinalizeCompiler)(void);
/* "BeforeCompiling", "CompileScript", "AfterCompiling": the single steps. */
typedef void(ZC_STDCALL* TZcRawScriptStep)(TRawScript* raw);
/* "SaveCompiledScript": writes the image, appended to the file when `append`
 * is set; 1 on success, 0 on failure. */
typedef uint32_t(ZC_STDCALL* TZcSaveCompiledScript)(TRawScript* raw, const char16_t* fileName,
                                                    uint32_t append);
/* "CompileZorvatFile", "CompileZorvatEXE": compile a script file; the result
 * is the compiler's result code (0 on success), with the error line and the
 * module the error is in. */
typedef int32_t(ZC_STDCALL* TZcCompileZorvatFile)(const char16_t* source, const char16_t* output,
                                                  TRawScript* raw, char16_t* errorModule,
                                                  uint32_t* errorLine);
/* "CompileZorvatFileMap": CompileZorvatFile, and on success the line map of
 * the image (the source line and module of every instruction, a text file)
 * written to `mapFile`; the image is the same as without the map. */
typedef int32_t(ZC_STDCALL* TZcCompileZorvatFileMap)(const char16_t* source, const char16_t* output,
                                                     TRawScript* raw, char16_t* errorModule,
                                                     uint32_t* errorLine, const char16_t* mapFile);

#ifdef __cplusplus
}
#endif

#endif /* ZORVAT_COMPILER_H */
