unit Boxes{#boxes};

{$mode delphi}

interface

type
  K{#boxes.k} = string;

  // The parameters of a generic type are names in the bodies of its methods, where
  // they hide the unit's type of the same name.
  TPair{#boxes.tpair}<K{#boxes.tpair.k}, V{#boxes.tpair.v}> = class
    Key{#boxes.tpair.key}: K{>boxes.tpair.k};
    function Get{#boxes.tpair.get}(A{#boxes.tpair.get.a}: K{>boxes.tpair.k}; B{#boxes.tpair.get.b}: V{>boxes.tpair.v}): Integer;
  end;

  TIntPair{#boxes.tintpair} = TPair{>boxes.tpair}<Integer, Integer>;

function Describe{#boxes.describe}(A: Integer): Integer; overload;

implementation

function TPair{>boxes.tpair}<K{>boxes.tpair.k}, V{>boxes.tpair.v}>.Get{#boxes.tpair.get.body}(A{#boxes.tpair.get.body.a}: K{>boxes.tpair.k}; B{#boxes.tpair.get.body.b}: V{>boxes.tpair.v}): Integer;
var
  Local{#boxes.tpair.get.local}: K{>boxes.tpair.k};
begin
  Local{>boxes.tpair.get.local} := A{>boxes.tpair.get.body.a};
  Key{>boxes.tpair.key} := Local{>boxes.tpair.get.local};
  Result := SizeOf(Local{>boxes.tpair.get.local});
end;

function Describe{#boxes.describe.body}(A: Integer): Integer;
begin
  Result := A + 1;
end;

end.
