/* Tovalind.dll, the dialog library that scripts call through the native-call
   command. Every export is __stdcall with an undecorated name, so the
   command's default convention calls it; the first argument is the calling
   script's context, whose first field names the runtime module that the
   library calls back to store results into script variables.

   Results: 0 or more is the user's answer; -1 the window was closed with its
   close box (0 for MultiButton); -2 a runtime function cannot be found; -3
   the runtime refused a store; -4 a window, form or font could not be
   created; -5 the form's thread could not be started. */
#ifndef TOVALIND_H
#define TOVALIND_H

#include <stdint.h>
#include <wchar.h>

#ifdef __cplusplus
extern "C" {
#endif

/* A line of text: 1 stored into `variable`, 0 cancelled. */
int32_t __stdcall TovalindInputBox(void* context, const wchar_t* caption, const wchar_t* prompt,
                                   const wchar_t* initialText, uint32_t variable);
/* Buttons named by the TAB-separated captions: the number of the button
   pressed, from 1. A negative width puts the buttons in a row. */
int32_t __stdcall TovalindMultiButton(void* context, const wchar_t* caption,
                                      const wchar_t* captions, int32_t focusButton,
                                      int32_t buttonWidth);
/* Files dropped onto the window: 1 their paths stored into `variable` as a
   text list, 0 cancelled. */
int32_t __stdcall TovalindDragAndDropFile(void* context, const wchar_t* caption,
                                          const wchar_t* prompt, uint32_t variable);
/* Builds the form a description text states and runs it on a thread of its
   own: 0 running, -1 the description is invalid. */
int32_t __stdcall TovalindPravek(void* context, const wchar_t* description);

#ifdef __cplusplus
}
#endif

#endif
