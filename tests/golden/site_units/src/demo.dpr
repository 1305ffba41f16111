program Demo;

{ The program uses a dotted unit, a unit named by its path, and includes its settings. }
uses
  Shapes, My.Utils,
  Extra in 'lib\extra.pas';

{$I settings.inc}

var
  S: TShape;
begin
  S := MakeShape(Sides);
  WriteLn(Describe(S), ' < & > ', Twice(2));
end.
