/* int PadscopeSehCall(PadscopeSehThunk thunk, void* argument, uint32_t* code)
 * for 32-bit Windows (cdecl). Pushes an exception registration record
 * {next, handler, code, codeOut} on the FS:[0] chain around the call.
 * PadscopeSehHandler (seh_guard.c) records the code in it and calls
 * PadscopeSehUnwindAndResume, which lets RtlUnwind run and unlink every
 * registration above ours and then continues at the resume point with ESP
 * at our record. RtlUnwind may change EBX, ESI, EDI and EBP, so everything
 * needed afterwards is read relative to ESP. The image carries no SafeSEH
 * table, so the system accepts a handler in the image's code (never link
 * with --no-seh). */
        .text
        .p2align 4
        .globl  _PadscopeSehCall
        .def    _PadscopeSehCall; .scl 2; .type 32; .endef
_PadscopeSehCall:
        pushl   %ebp
        pushl   %ebx
        pushl   %esi
        pushl   %edi
        /* arguments now at 20(%esp) thunk, 24(%esp) argument, 28(%esp) code */
        movl    28(%esp), %eax
        pushl   %eax                      /* record + 12: codeOut */
        pushl   $0                        /* record + 8: code */
        pushl   $_PadscopeSehHandler      /* record + 4: handler */
        pushl   %fs:0                     /* record + 0: next */
        movl    %esp, %fs:0
        /* arguments now at 36(%esp) thunk, 40(%esp) argument */
        pushl   40(%esp)
        call    *40(%esp)
        addl    $4, %esp
        movl    (%esp), %eax
        movl    %eax, %fs:0
        addl    $16, %esp
        xorl    %eax, %eax
        jmp     1f

        .globl  _PadscopeSehResume
_PadscopeSehResume:
        /* ESP is our record; every registration above it is gone */
        movl    (%esp), %eax
        movl    %eax, %fs:0
        movl    8(%esp), %eax
        movl    12(%esp), %ecx
        movl    %eax, (%ecx)
        addl    $16, %esp
        movl    $1, %eax
1:
        popl    %edi
        popl    %esi
        popl    %ebx
        popl    %ebp
        ret

/* void PadscopeSehUnwindAndResume(struct GuardRegistration* registration,
 *                                 EXCEPTION_RECORD* record) */
        .p2align 4
        .globl  _PadscopeSehUnwindAndResume
        .def    _PadscopeSehUnwindAndResume; .scl 2; .type 32; .endef
_PadscopeSehUnwindAndResume:
        pushl   $0                        /* return value */
        pushl   12(%esp)                  /* exception record */
        pushl   $2f                       /* where RtlUnwind returns */
        pushl   16(%esp)                  /* target frame: our registration */
        call    _RtlUnwind@16
2:
        movl    4(%esp), %esp             /* ESP := the registration */
        jmp     _PadscopeSehResume
