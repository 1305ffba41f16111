unit Shapes{#shapes};

{$mode objfpc}

interface

type
  TNode{#shapes.tnode.forward} = class;

  TBase{#shapes.tbase} = class
  private
    FSize{#shapes.tbase.fsize}: Integer;
  public
    Next{#shapes.tbase.next}: TNode{>shapes.tnode};
    constructor Create{#shapes.tbase.create}(ASize{#shapes.tbase.create.asize}: Integer);
    function Describe{#shapes.tbase.describe}: Integer; virtual;
    function Doubled{#shapes.tbase.doubled}: Integer;
    property Size{#shapes.tbase.size}: Integer read FSize{>shapes.tbase.fsize};
  end;

  TDerived{#shapes.tderived} = class(TBase{>shapes.tbase})
  public
    function Describe{#shapes.tderived.describe}: Integer; override;
    function Extra{#shapes.tderived.extra}: Integer;
  end;

  TNode{#shapes.tnode} = class
    Weight{#shapes.tnode.weight}: Integer;
  end;

function Twice{#shapes.twice}(N{#shapes.twice.n}: Integer): Integer; overload;
function Twice{#shapes.twice.s}(const S{#shapes.twice.s.s}: string): string; overload;
function MakeShape{#shapes.makeshape}: TBase{>shapes.tbase};

implementation

const
  Hidden{#shapes.hidden} = 7;

{$I shapes_body.inc}

function Twice{#shapes.twice.body}(N{#shapes.twice.body.n}: Integer): Integer;
begin
  Result := 2 * N{>shapes.twice.body.n};
end;

function Twice{#shapes.twice.s.body}(const S{#shapes.twice.s.body.s}: string): string;
begin
  Result := S{>shapes.twice.s.body.s} + S{>shapes.twice.s.body.s};
end;

function MakeShape{#shapes.makeshape.body}: TBase{>shapes.tbase};
begin
  Result := TDerived{>shapes.tderived}.Create{>shapes.tbase.create}(5);
end;

end.
