program Tokens;
{$APPTYPE CONSOLE}
const A = $FF; B = 1.5E3; C = #13#10; D = 'it''s <b>';
(* a < b *) // x > y & z
begin
  if (A <> B) and (A <= 2) then Writeln(1..2);
  x := y^ @ z;
end.
