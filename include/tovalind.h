/* Tovalind.dll, the dialog library, as a script or a host sees it.
 *
 * Scripts call it with the native-call command; every export is __stdcall
 * with the undecorated name given beside its type, so the command's default
 * convention calls it. The first argument is the calling script's context
 * (the record of zorvat.h): the library reads its MyOwnModule field, looks
 * up the runtime's Var_ functions by name in that module and stores results
 * into the script variable whose reference follows. Texts are UTF-16.
 *
 * Results are small signed numbers: 0 or more is the user's answer; -1 the
 * window was closed with its close box (0 for MultiButton); -2 a runtime
 * function cannot be found; -3 the runtime refused a store; -4 a window, a
 * form or a font could not be created; -5 the form's thread could not be
 * started. */
#ifndef TOVALIND_H
#define TOVALIND_H

#include <stdint.h>
#ifndef __cplusplus
#include <uchar.h>
#endif

#include "include/zorvat.h"

#ifdef __cplusplus
extern "C" {
#endif

/* "InputBox": a line of text, stored into `variable`: 1 stored, 0 Cancel. */
typedef int32_t(ZV_STDCALL* TTovalindInputBox)(TScriptContext* context, const char16_t* caption,
                                               const char16_t* prompt, const char16_t* initialText,
                                               uint32_t variable);
/* "MultiButton": one button per TAB-separated caption; the number of the
 * button pressed, from 1. The context is not read. A negative width puts the
 * buttons in a row. */
typedef int32_t(ZV_STDCALL* TTovalindMultiButton)(TScriptContext* context, const char16_t* caption,
                                                  const char16_t* captions, int32_t focusButton,
                                                  int32_t buttonWidth);
/* "DragAndDropFile": the paths of the files dropped onto the window, stored
 * into `variable` as a text list: 1 stored, 0 Cancel. */
typedef int32_t(ZV_STDCALL* TTovalindDragAndDropFile)(TScriptContext* context,
                                                      const char16_t* caption,
                                                      const char16_t* prompt, uint32_t variable);
/* "Pravek": builds the form a description states and runs it on a thread of
 * its own; 0 running, -1 the description is invalid (a message box says
 * why). The form stores event codes into the slot variables it names. */
typedef int32_t(ZV_STDCALL* TTovalindPravek)(TScriptContext* context, const char16_t* description);

#ifdef __cplusplus
}
#endif

#endif /* TOVALIND_H */
