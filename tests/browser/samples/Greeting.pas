unit Greeting;

{ UTF-8 text: não, “quotes” and <tags> & more }
interface

const
  Hello = 'Olá, mundo';
  Limit = $FF;

function Greet(const Name: string): string;

implementation

function Greet(const Name: string): string;
begin
  if Length(Name) < 1 then
    Result := Hello
  else
    Result := 'Hi, ' + Name; // a line comment
end;

end.
