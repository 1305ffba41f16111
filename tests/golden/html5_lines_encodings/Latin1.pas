unit Latin1;
{ Informação: “quotes” — não }
const S = 'não';
asm
  mov eax, 1
end;
end.