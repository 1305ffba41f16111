unit Shapes;

interface

type
  TShape = class(TObject)
  private
    FSize: Integer;
  public
    property Size: Integer read FSize write FSize default 4; stored True;
    property Name index 2 read GetName;
  end;

implementation

end.
