// __chkstk for Windows on ARMv7 (Thumb-2). The prologue of a function whose
// frame is larger than a page calls it before moving sp, with the frame's
// size in 4-byte units in r4, and subtracts r4 from sp afterwards, so
// __chkstk hands back the size in bytes there:
//     movw   r4, #1250
//     bl     __chkstk
//     sub.w  sp, sp, r4
// Windows grows a thread's stack one guard page at a time, so every page of
// the new frame is touched from the top down before any of it is used; a
// frame that skipped the guard page would fault. Besides r4 only r12 and the
// flags change: the caller's arguments are still in r0-r3.
        .syntax unified
        .thumb
        .text
        .globl  __chkstk
        .p2align 2
        .thumb_func
__chkstk:
        lsls    r4, r4, #2              // bytes, as the caller subtracts them
        push    {r5, r6}
        add     r5, sp, #8              // sp as the caller has it
        sub     r6, r5, r4              // the lowest address of the frame
1:      sub     r5, r5, #4096           // the next page down
        cmp     r5, r6
        bls     2f
        ldr     r12, [r5]
        b       1b
2:      ldr     r12, [r6]
        pop     {r5, r6}
        bx      lr
