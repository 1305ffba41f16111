unit My.Utils;

{$mode objfpc}

interface

function Triple{#utils.triple}(N{#utils.triple.n}: Integer): Integer;

implementation

function Triple{#utils.triple.body}(N{#utils.triple.body.n}: Integer): Integer;
begin
  Result := 3 * N{>utils.triple.body.n};
end;

end.
