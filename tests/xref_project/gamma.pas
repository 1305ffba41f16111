unit Gamma{#gamma};

{$mode objfpc}

interface

uses
  Alpha;

function InterfaceShared{#gamma.ifshared}: Integer;
function ImplementationShared{#gamma.implshared}: Integer;

implementation

uses
  Beta;

function InterfaceShared{#gamma.ifshared.body}: Integer;
begin
  Result := OnlyAlpha{>alpha.only};
end;

// The implementation's uses clause comes after the interface's: Beta wins.
function ImplementationShared{#gamma.implshared.body}: Integer;
begin
  Result := Shared{>beta.shared};
end;

end.
