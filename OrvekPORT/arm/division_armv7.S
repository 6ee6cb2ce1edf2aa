// The division helpers of Windows on ARMv7, which the compiler calls for /
// and % of 32- and 64-bit integers (the processors Windows runs on there
// need not have a divide instruction). Their convention is Windows' own:
// the DIVISOR comes first (r0, or r0:r1), the dividend second (r1, or
// r2:r3); the quotient returns in r0 (r0:r1) and the remainder in r1
// (r2:r3), which the compiler reads for %. A zero divisor raises the integer
// divide-by-zero exception by the trap the compiler's own check uses
// (udf #249, __brkdiv0). The arithmetic is in division.cpp.
        .syntax unified
        .thumb
        .text

        .globl  __rt_udiv
        .p2align 2
        .thumb_func
__rt_udiv:
        cmp     r0, #0
        beq     divide_by_zero
        b.w     orvek_divide_u32        // quotient in r0, remainder in r1

        .globl  __rt_sdiv
        .p2align 2
        .thumb_func
__rt_sdiv:
        cmp     r0, #0
        beq     divide_by_zero
        b.w     orvek_divide_s32

// The 64-bit pair does not fit a C return: the C code writes it to the
// stack, from where it is loaded into r0-r3.
        .globl  __rt_udiv64
        .p2align 2
        .thumb_func
__rt_udiv64:
        orrs    r12, r0, r1
        beq     divide_by_zero
        push    {r4, lr}
        sub     sp, sp, #24
        add     r12, sp, #8
        str     r12, [sp]               // the fifth argument: where to write
        bl      orvek_divide_u64
        b       load_pair

        .globl  __rt_sdiv64
        .p2align 2
        .thumb_func
__rt_sdiv64:
        orrs    r12, r0, r1
        beq     divide_by_zero
        push    {r4, lr}
        sub     sp, sp, #24
        add     r12, sp, #8
        str     r12, [sp]
        bl      orvek_divide_s64
load_pair:
        ldrd    r0, r1, [sp, #8]        // the quotient
        ldrd    r2, r3, [sp, #16]       // the remainder
        add     sp, sp, #24
        pop     {r4, pc}

        .thumb_func
divide_by_zero:
        udf     #249
