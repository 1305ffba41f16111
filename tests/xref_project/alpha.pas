unit Alpha{#alpha};

{$mode objfpc}

interface

const
  Shared{#alpha.shared} = 10;
  OnlyAlpha{#alpha.only} = 11;

implementation

end.
