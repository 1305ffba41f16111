unit Geometry;

{ Points and rectangles for the Shapes demo.
  Written for the Lexiform examples. }

interface

type
  TPoint2D = record
    X, Y: Double;
  end;

  TRect2D = record
    Left, Top, Right, Bottom: Double;
  end;

function MakePoint(AX, AY: Double): TPoint2D;
function Distance(const A, B: TPoint2D): Double;
function Contains(const R: TRect2D; const P: TPoint2D): Boolean;

implementation

function MakePoint(AX, AY: Double): TPoint2D;
begin
  Result.X := AX;
  Result.Y := AY;
end;

function Distance(const A, B: TPoint2D): Double;
begin
  Result := Sqrt(Sqr(A.X - B.X) + Sqr(A.Y - B.Y));
end;

function Contains(const R: TRect2D; const P: TPoint2D): Boolean;
begin
  // Edges belong to the rectangle: Left <= X <= Right
  Result := (P.X >= R.Left) and (P.X <= R.Right) and
            (P.Y >= R.Top) and (P.Y <= R.Bottom);
end;

end.
