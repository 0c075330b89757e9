# A library with the faults the ABI check must find, written in assembly so
# that no compiler can tidy them away. Linked without a base relocation table.
# Each export's argument count is in faulty.args.
    .text
    .globl _Good, _Cdecl, _TooFew, _SecondExit, _TailJump, _ViaCall, _NoReturn, _Undeclared

# Pops its two arguments: no fault.
_Good:
    mov $1, %eax
    ret $8

# Two arguments left on the stack: a __cdecl function exported as __stdcall.
_Cdecl:
    xor %eax, %eax
    ret

# Three arguments, but pops two.
_TooFew:
    ret $8

# Pops its argument on one path only.
_SecondExit:
    cmpl $0, 4(%esp)
    je 1f
    ret $4
1:  ret

# Jumps into a function that pops nothing.
_TailJump:
    jmp _Cdecl

# Calls a helper that pops nothing, then pops its own argument: no fault
# (what a callee pops is its caller's business).
_ViaCall:
    call helper
    ret $4
helper:
    ret

# Never returns where the check can see it.
_NoReturn:
    jmp *4(%esp)

# Exported, but not declared in faulty.def.
_Undeclared:
    ret $4

# The library's entry routine: returns TRUE.
    .globl _DllMainCRTStartup@12
_DllMainCRTStartup@12:
    mov $1, %eax
    ret $12
