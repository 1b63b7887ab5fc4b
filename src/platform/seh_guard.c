/* The exception handler named by the guard routine's frame. It runs during
 * the system's dispatch, after every handler closer to the fault has
 * declined; it records the code in the guard's frame and unwinds to the
 * guard routine's continuation. It declines on every unwinding pass. */
#include "seh_guard.h"

#include <windows.h>

#define GUARD_UNWINDING_FLAGS (EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND | 0x20 /* target */ | 0x40 /* collided */)

#if defined(__x86_64__)

/* Offset of the code slot in the guard routine's frame (seh_guard_x64.S). */
#define GUARD_CODE_SLOT 32

void PadscopeSehContinue(void); /* a label inside PadscopeSehCall */

EXCEPTION_DISPOSITION PadscopeSehHandler(EXCEPTION_RECORD* record, void* establisherFrame, CONTEXT* context,
                                         DISPATCHER_CONTEXT* dispatcher);

EXCEPTION_DISPOSITION PadscopeSehHandler(EXCEPTION_RECORD* record, void* establisherFrame, CONTEXT* context,
                                         DISPATCHER_CONTEXT* dispatcher) {
  const DWORD code = record->ExceptionCode;
  if (record->ExceptionFlags & GUARD_UNWINDING_FLAGS) return ExceptionContinueSearch;
  *(volatile uint32_t*)((char*)establisherFrame + GUARD_CODE_SLOT) = code;
  RtlUnwindEx(establisherFrame, (void*)PadscopeSehContinue, record, (void*)(ULONG_PTR)1, context,
              dispatcher->HistoryTable);
  return ExceptionContinueSearch; /* not reached: the unwind resumes in the guard routine */
}

#elif defined(__i386__)

/* The guard's exception registration record on the FS:[0] chain, extended
 * by the two words that the guard routine reads when it resumes. Laid out
 * by seh_guard_i686.S. */
struct GuardRegistration {
  struct GuardRegistration* next;
  void* handler;
  uint32_t code;
  uint32_t* codeOut;
};

/* Unwinds every registration above the guard's own and resumes the guard
 * routine with ESP at the registration; does not return. */
void PadscopeSehUnwindAndResume(struct GuardRegistration* registration, EXCEPTION_RECORD* record);

EXCEPTION_DISPOSITION __cdecl PadscopeSehHandler(EXCEPTION_RECORD* record, void* establisherFrame, CONTEXT* context,
                                                 void* dispatcherContext);

EXCEPTION_DISPOSITION __cdecl PadscopeSehHandler(EXCEPTION_RECORD* record, void* establisherFrame, CONTEXT* context,
                                                 void* dispatcherContext) {
  (void)context;
  (void)dispatcherContext;
  if (record->ExceptionFlags & GUARD_UNWINDING_FLAGS) return ExceptionContinueSearch;
  struct GuardRegistration* registration = (struct GuardRegistration*)establisherFrame;
  registration->code = record->ExceptionCode;
  PadscopeSehUnwindAndResume(registration, record);
  return ExceptionContinueSearch; /* not reached */
}

#else
#error "the structured exception guard exists for x86 and x64 only"
#endif
