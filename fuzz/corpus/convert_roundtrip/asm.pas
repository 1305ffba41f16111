procedure Fast; assembler;
asm
  mov eax, [ebp+8] { <x> }
  cmp eax, 0
end;
