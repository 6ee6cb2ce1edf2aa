// __chkstk for Windows on ARM64. The prologue of a function whose frame is
// larger than a page calls it before moving sp, with the frame's size in
// 16-byte units in x15, and then subtracts x15 * 16 from sp itself:
//     mov  x15, #313
//     bl   __chkstk
//     sub  sp, sp, x15, lsl #4
// Windows grows a thread's stack one guard page at a time, so every page of
// the new frame is touched from the top down before any of it is used; a
// frame that skipped the guard page would fault. Only x16, x17 and the flags
// change: the caller's arguments are still in x0-x7 and x15 is used after.
        .text
        .globl  __chkstk
        .p2align 2
__chkstk:
        mov     x16, sp
        sub     x17, x16, x15, lsl #4   // the lowest address of the frame
1:      sub     x16, x16, #1, lsl #12   // the next page down
        cmp     x16, x17
        b.ls    2f
        ldr     xzr, [x16]
        b       1b
2:      ldr     xzr, [x17]
        ret
