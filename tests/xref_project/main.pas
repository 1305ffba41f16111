program Main{#main};

{$mode objfpc}

uses
  Alpha, Beta, Gamma, My.Utils, Colors in 'sub/colors.pas', Shapes, Widgets, Boxes, Cells,
  Tags;

const
  Value{#main.value} = 1;
  X{#main.x} = 2;

type
  // Only the last helper in scope counts: here it is this one, which has no Title.
  TTagHelperToo{#main.ttaghelpertoo} = class helper for TTag{>tags.ttag}
    function Extra{#main.ttaghelpertoo.extra}: Integer;
  end;

  TNodes{#main.tnodes} = array of TNode{>shapes.tnode};

  TPair{#main.tpair} = record
    Left{#main.tpair.left}, Right{#main.tpair.right}: Integer;
  end;

const
  Origin{#main.origin}: TPair{>main.tpair} = (Left{>main.tpair.left}: 4; Right{>main.tpair.right}: 9);

// Scoped values are reached through their type only: Dark alone is the constant.
type
{$scopedenums on}
  TShade{#main.tshade} = (Light{#main.tshade.light}, Dark{#main.tshade.dark});
{$scopedenums off}
const
  Dark{#main.dark} = 70;

var
  Pair{#main.pair}: TPair{>main.tpair};
  Shape{#main.shape}: TBase{>shapes.tbase};
  Point{#main.point}: TPoint{>colors.tpoint};
  Widget{#main.widget}: TWidget{>widgets.twidget};
  IntPair{#main.intpair}: TIntPair{>boxes.tintpair};
  IntCell{#main.intcell}: TIntCell{>cells.tintcell};
  Tag{#main.tag}: TTag{>tags.ttag};
  // An element of an array has the array's element type, whatever the indexes.
  Points{#main.points}: array[0..1, 0..1] of TPoint{>colors.tpoint};
  Nodes{#main.nodes}: TNodes{>main.tnodes};

function TTagHelperToo{>main.ttaghelpertoo}.Extra{#main.ttaghelpertoo.extra.body}: Integer;
begin
  Result := 2;
end;

// A parameter hides the constant of the same name.
function Shadowed{#main.shadowed}(Value{#main.shadowed.value}: Integer): Integer;
begin
  Result := Value{>main.shadowed.value};
end;

// Inner uses X before Outer declares its own X: it sees the constant.
function Outer{#main.outer}: Integer;

  function Inner{#main.outer.inner}: Integer;
  begin
    Result := X{>main.x};
  end;

var
  X{#main.outer.x}: Integer;
begin
  X{>main.outer.x} := 40;
  Result := Inner{>main.outer.inner} + X{>main.outer.x};
end;

function SizeOfShape{#main.sizeofshape}(S{#main.sizeofshape.s}: TBase{>shapes.tbase}): Integer;
begin
  Result := S{>main.sizeofshape.s}.Size{>shapes.tbase.size};
end;

begin
  WriteLn{>-}('shadow ', Shadowed{>main.shadowed}(5));
  WriteLn('nested ', Outer{>main.outer});
  WriteLn('last uses ', Shared{>beta.shared});
  WriteLn('qualified ', Alpha{>alpha}.Shared{>alpha.shared});
  WriteLn('implementation uses ', ImplementationShared{>gamma.implshared}, ' ',
    InterfaceShared{>gamma.ifshared});
  WriteLn('dotted unit ', My.Utils.Triple{>utils.triple}(4));
  WriteLn('in path ', ColorValue{>colors.colorvalue}(Green{>colors.green}));
  Shape{>main.shape} := MakeShape{>shapes.makeshape};
  WriteLn('inherited ', Shape{>main.shape}.Describe{>shapes.tbase.describe});
  WriteLn('ancestor ', TDerived{>shapes.tderived}(Shape{>main.shape}).Doubled{>shapes.tbase.doubled});
  WriteLn('cast ', TDerived{>shapes.tderived}(Shape{>main.shape}).Extra{>shapes.tderived.extra});
  WriteLn('result type ', MakeShape{>shapes.makeshape}.Size{>shapes.tbase.size});
  WriteLn('parameter ', SizeOfShape{>main.sizeofshape}(Shape{>main.shape}));
  Shape.Next{>shapes.tbase.next} := TNode{>shapes.tnode}.Create;
  Shape.Next{>shapes.tbase.next}.Weight{>shapes.tnode.weight} := 3;
  WriteLn('forward ', Shape.Next.Weight{>shapes.tnode.weight});
  WriteLn('overload ', Twice{>shapes.twice}(21), ' ', Twice{>shapes.twice}('ab'));
  Pair{>main.pair}.Left{>main.tpair.left} := 6;
  with Pair{>main.pair} do
    Right{>main.tpair.right} := Left{>main.tpair.left} + 1;
  WriteLn('with ', Pair.Right{>main.tpair.right});
  Point{>main.point}.X{>colors.tpoint.x} := 8;
  WriteLn('record field ', Point.X{>colors.tpoint.x});
  WriteLn('record value ', Origin{>main.origin}.Right{>main.tpair.right});
  WriteLn('enumeration ', Ord(Blue{>colors.blue}), ' ', Ord(TColor{>colors.tcolor}.Red{>colors.red}));
  WriteLn('scoped enumeration ', Dark{>main.dark}, ' ',
    Ord(TShade{>main.tshade}.Dark{>main.tshade.dark}), Ord(TShade.Light{>main.tshade.light}));
  Widget{>main.widget} := TWidget{>widgets.twidget}.Create;
  WriteLn('unknown ancestor ', Widget.Total{>widgets.twidget.total});
  IntPair{>main.intpair} := TIntPair{>boxes.tintpair}.Create;
  IntCell{>main.intcell} := TIntCell{>cells.tintcell}.Create;
  WriteLn('generic ', IntPair.Get{>boxes.tpair.get}(1, 2), ' ', IntCell.Put{>cells.tcell.put}(3));
  Points{>main.points}[1, 0].X{>colors.tpoint.x} := 5;
  Points[0][1].X{>colors.tpoint.x} := 6;
  SetLength(Nodes{>main.nodes}, 1);
  Nodes[0] := TNode{>shapes.tnode}.Create;
  Nodes[0].Weight{>shapes.tnode.weight} := 7;
  WriteLn('array ', Points[1, 0].X{>colors.tpoint.x} + Points[0, 1].X{>colors.tpoint.x}, ' ',
    Nodes[0].Weight{>shapes.tnode.weight});
  WriteLn('overloads ', Describe{>cells.describe}('abc'));
  Tag{>main.tag} := TTag{>tags.ttag}.Create;
  WriteLn('helper ', Tag.Title{>tags.ttag.title}, ' ', Tag.Extra{>main.ttaghelpertoo.extra}, ' ',
    Tag.Describe{>tags.ttag.describe});
  // Value in a comment, and in a string, is no link:
  WriteLn('Value');
end.
