unit My.Utils;

interface

function Twice(X: Integer): Integer;

implementation

function Twice(X: Integer): Integer;
begin
  Result := X * 2; // café in windows-1252
end;

end.
