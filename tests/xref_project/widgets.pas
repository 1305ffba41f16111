unit Widgets{#widgets};

{$mode objfpc}

interface

uses
  Classes;

const
  Base{#widgets.base} = 30;

type
  // The ancestor is not among the project's files: a name not found in the class may
  // be one of its members, so what is found further out is linked as uncertain.
  TWidget{#widgets.twidget} = class(TPersistent)
  public
    function Total{#widgets.twidget.total}: Integer;
  end;

implementation

function TWidget{>widgets.twidget}.Total{#widgets.twidget.total.body}: Integer;
begin
  if GetNamePath{>-} = '' then
    Result := Base{>?widgets.base}
  else
    Result := Base{>?widgets.base} + 1;
end;

end.
