/* int PadscopeSehCall(PadscopeSehThunk thunk, void* argument, uint32_t* code)
 * for the Windows x64 ABI (rcx, rdx, r8). The frame's unwind data names
 * PadscopeSehHandler (seh_guard.c) as an exception handler; when it
 * accepts an exception it records the code at 32(%rsp) of this frame and
 * unwinds to PadscopeSehContinue, which arrives with %rsp as it was after
 * the prologue. Nothing is read from other registers there: what they
 * hold after an unwind differs between systems. */
        .text
        .p2align 4
        .globl  PadscopeSehCall
        .def    PadscopeSehCall; .scl 2; .type 32; .endef
        .seh_proc PadscopeSehCall
PadscopeSehCall:
        subq    $56, %rsp                 /* 32 home bytes, code slot, code pointer, alignment */
        .seh_stackalloc 56
        .seh_endprologue
        .seh_handler PadscopeSehHandler, @except
        movl    $0, 32(%rsp)
        movq    %r8, 40(%rsp)
        movq    %rcx, %rax
        movq    %rdx, %rcx
        call    *%rax
        nop                               /* keeps the return address inside this routine */
        xorl    %eax, %eax
        addq    $56, %rsp
        ret

        .globl  PadscopeSehContinue
PadscopeSehContinue:
        movl    32(%rsp), %eax
        movq    40(%rsp), %rcx
        movl    %eax, (%rcx)
        movl    $1, %eax
        addq    $56, %rsp
        ret
        .seh_handlerdata
        .long   0
        .text
        .seh_endproc
