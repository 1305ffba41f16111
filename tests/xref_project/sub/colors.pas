unit Colors{#colors};

{$mode objfpc}

interface

type
  TColor{#colors.tcolor} = (Red{#colors.red}, Green{#colors.green}, Blue{#colors.blue});

  TPoint{#colors.tpoint} = record
    X{#colors.tpoint.x}, Y{#colors.tpoint.y}: Integer{>-};
  end;

function ColorValue{#colors.colorvalue}(C{#colors.colorvalue.c}: TColor{>colors.tcolor}): Integer;

implementation

function ColorValue{#colors.colorvalue.body}(C{#colors.colorvalue.body.c}: TColor{>colors.tcolor}): Integer;
begin
  Result := Ord(C{>colors.colorvalue.body.c}) + 100;
end;

end.
