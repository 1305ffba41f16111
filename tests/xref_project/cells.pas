unit Cells{#cells};

{$mode objfpc}

interface

uses
  Boxes;

type
  T{#cells.t} = string;

  generic TCell{#cells.tcell}<T{#cells.tcell.t}> = class
    Item{#cells.tcell.item}: T{>cells.tcell.t};
    function Put{#cells.tcell.put}(Value{#cells.tcell.put.value}: T{>cells.tcell.t}): Integer;
  end;

  TIntCell{#cells.tintcell} = specialize TCell{>cells.tcell}<Integer>;

// Overloads the one of Boxes: its declaration lists that one.
function Describe{#cells.describe}(const S: string): Integer; overload;

implementation

function TCell{>cells.tcell}.Put{#cells.tcell.put.body}(Value{#cells.tcell.put.body.value}: T{>cells.tcell.t}): Integer;
var
  Local{#cells.tcell.put.local}: T{>cells.tcell.t};
begin
  Local{>cells.tcell.put.local} := Value{>cells.tcell.put.body.value};
  Item{>cells.tcell.item} := Local{>cells.tcell.put.local};
  Result := SizeOf(Local{>cells.tcell.put.local}) + SizeOf(T{>cells.tcell.t});
end;

function Describe{#cells.describe.body}(const S: string): Integer;
begin
  Result := Length(S);
end;

end.
