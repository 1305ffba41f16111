unit Tags{#tags};

{$mode objfpc}

interface

type
  TTag{#tags.ttag} = class
    function Title{#tags.ttag.title}: string;
    function Describe{#tags.ttag.describe}: string;
  end;

  // A helper comes before the members of the type it helps, in the type's own methods
  // too.
  TTagHelper{#tags.ttaghelper} = class helper for TTag{>tags.ttag}
    function Title{#tags.ttaghelper.title}: string;
    function Extra{#tags.ttaghelper.extra}: Integer;
  end;

implementation

function TTag{>tags.ttag}.Title{#tags.ttag.title.body}: string;
begin
  Result := 'tag';
end;

function TTag{>tags.ttag}.Describe{#tags.ttag.describe.body}: string;
begin
  Result := Title{>tags.ttaghelper.title};
end;

function TTagHelper{>tags.ttaghelper}.Title{#tags.ttaghelper.title.body}: string;
begin
  Result := 'helped';
end;

function TTagHelper{>tags.ttaghelper}.Extra{#tags.ttaghelper.extra.body}: Integer;
begin
  Result := 1;
end;

end.
