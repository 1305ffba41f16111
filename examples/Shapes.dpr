program Shapes;

{$APPTYPE CONSOLE}

uses
  SysUtils,
  Geometry in 'Geometry.pas';

var
  Origin, Corner: TPoint2D;
  Box: TRect2D;

begin
  Origin := MakePoint(0, 0);
  Corner := MakePoint(3, 4);
  WriteLn('Distance: ', Distance(Origin, Corner):0:2);
  Box.Left := 0; Box.Top := 0; Box.Right := 10; Box.Bottom := 10;
  if Contains(Box, Corner) then
    WriteLn('The corner lies in the box & that''s fine.');
end.
