unit Shapes;

interface

uses My.Utils;

type
  TShape = record
    Sides: Integer;
  end;

function MakeShape(Sides: Integer): TShape;
function Describe(const S: TShape): string;

implementation

{$INCLUDE inc/names.inc}

function MakeShape(Sides: Integer): TShape;
begin
  MakeShape.Sides := Sides;
end;

function Describe(const S: TShape): string;
begin
  Describe := Names[S.Sides mod 4];
end;

end.
