/* The frame-based structured exception guard of the Windows seam, built
 * from the platform's own mechanism because the compiler has no __try:
 * one small assembly routine per architecture (seh_guard_x64.S,
 * seh_guard_i686.S) plus its handler in seh_guard.c. Only
 * platform_win32.cpp uses it. */
#ifndef PADSCOPE_PLATFORM_SEH_GUARD_H
#define PADSCOPE_PLATFORM_SEH_GUARD_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef void (*PadscopeSehThunk)(void* argument);

/* Calls thunk(argument) inside a frame whose handler accepts every
 * exception that reaches it, with the semantics of
 * __except (EXCEPTION_EXECUTE_HANDLER): it sees an exception only after
 * every handler inside the call has declined it, then unwinds the stack
 * back to this frame. Returns 1 and stores the exception code in *code
 * when that happened, 0 when the thunk returned.
 * The thunk must hold nothing that needs a destructor: frames between the
 * fault and this routine are abandoned. */
int PadscopeSehCall(PadscopeSehThunk thunk, void* argument, uint32_t* code);

#ifdef __cplusplus
}
#endif

#endif
