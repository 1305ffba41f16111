unit AllTokens;

(* This unit shows every kind of token the converter knows:
   keywords, directives, identifiers, numbers, strings, comments,
   symbols, spaces, assembler and bytes it does not know. *)

interface

type
  TCounter = class(TObject)
  private
    FCount: Integer;
    FName: string;
    procedure SetCount(Value: Integer);
  public
    constructor Create;
    // Inside a property declaration read/write/index are plain keywords,
    // while name stays a directive.
    property Count: Integer read FCount write SetCount default 0;
    property Name: string read FName write FName stored False;
    property Items[Index: Integer]: Integer index 3 read FCount;
    procedure Read; virtual; abstract;
  end;

function Add(A, B: Integer): Integer; stdcall;
procedure External1; external 'lib.dll' name 'Ext1';

implementation

const
  Hex = $FF;          { hexadecimal number }
  Real1 = 1.5E3;      { decimal number with exponent }
  Range = 1..10;      { a range stays one number token }
  CrLf = #13#10;      { character codes }
  Quote = 'it''s';    { doubled quotes }
  Markup = '<b>&amp;</b>'; { angle brackets and ampersands are escaped }

constructor TCounter.Create;
begin
  inherited Create;
  FCount := 0;
  if (FCount < 10) and (FCount <> 5) then
    FCount := FCount shl 1;
end;

procedure TCounter.SetCount(Value: Integer);
begin
  FCount := Value; // a line comment with <tags> & ampersands
end;

function Add(A, B: Integer): Integer; stdcall;
asm
  mov eax, A
  add eax, B   { assembler text is not scanned further }
end;

procedure External1;
begin
  Writeln(Hex, Real1, CrLf, Quote, Markup);
  Café := 1; { a national letter in code: é }
  if Flags | Mask then Exit; } 
end;

end.
