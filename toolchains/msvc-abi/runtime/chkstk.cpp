// __chkstk, which the compiler calls before it opens a frame of a page or more: it touches each
// page below the stack pointer in turn, so that the guard page grows the stack in order. MSVC's
// static runtime has it; Windows' kernel32 does not export it (wine's does). In: rax, the frame's
// size; every register but r10, r11 and the flags is kept.
asm(R"(
  .text
  .globl __chkstk
  .p2align 4
__chkstk:
  push rcx
  push rax
  lea rcx, [rsp + 24]
  cmp rax, 0x1000
  jb .Llast_page
.Lnext_page:
  sub rcx, 0x1000
  test qword ptr [rcx], rcx
  sub rax, 0x1000
  cmp rax, 0x1000
  ja .Lnext_page
.Llast_page:
  sub rcx, rax
  test qword ptr [rcx], rcx
  pop rax
  pop rcx
  ret
)");
