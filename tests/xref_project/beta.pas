unit Beta{#beta};

{$mode objfpc}

interface

const
  Shared{#beta.shared} = 20;

implementation

end.
