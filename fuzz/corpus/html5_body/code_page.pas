{ não “q” }
asm mov eax, 1 end;
