unit Latin1;

{ Latin-1 text: não, “quotes” (windows-1252) }

interface

const
  Value1 = 7; { x }
  Value2 = 14; { xx }
  Value3 = 21; { xxx }
  Value4 = 28; { xxxx }
  Value5 = 35; {  }
  Value6 = 42; { x }
  Value7 = 49; { xx }
  Value8 = 56; { xxx }
  Value9 = 63; { xxxx }
  Value10 = 70; {  }
  Value11 = 77; { x }
  Value12 = 84; { xx }
  Value13 = 91; { xxx }
  Value14 = 98; { xxxx }
  Value15 = 105; {  }
  Value16 = 112; { x }
  Value17 = 119; { xx }
  Value18 = 126; { xxx }
  Value19 = 133; { xxxx }
  Value20 = 140; {  }
  Value21 = 147; { x }
  Value22 = 154; { xx }
  Value23 = 161; { xxx }
  Value24 = 168; { xxxx }
  Value25 = 175; {  }
  Value26 = 182; { x }
  Value27 = 189; { xx }
  Value28 = 196; { xxx }
  Value29 = 203; { xxxx }
  Value30 = 210; {  }
  Value31 = 217; { x }
  Value32 = 224; { xx }
  Value33 = 231; { xxx }
  Value34 = 238; { xxxx }
  Value35 = 245; {  }
  Value36 = 252; { x }
  Value37 = 259; { xx }
  Value38 = 266; { xxx }
  Value39 = 273; { xxxx }
  Value40 = 280; {  }
  Value41 = 287; { x }
  Value42 = 294; { xx }
  Value43 = 301; { xxx }
  Value44 = 308; { xxxx }
  Value45 = 315; {  }
  Value46 = 322; { x }
  Value47 = 329; { xx }
  Value48 = 336; { xxx }
  Value49 = 343; { xxxx }
  Value50 = 350; {  }
  Value51 = 357; { x }
  Value52 = 364; { xx }
  Value53 = 371; { xxx }
  Value54 = 378; { xxxx }
  Value55 = 385; {  }
  Value56 = 392; { x }
  Value57 = 399; { xx }
  Value58 = 406; { xxx }
  Value59 = 413; { xxxx }
  Value60 = 420; {  }
  Wide = 'a very long line that must scroll inside its own block a very long line that must scroll inside its own block a very long line that must scroll inside its own block a very long line that must scroll inside its own block a very long line that must scroll inside its own block a very long line that must scroll inside its own block a very long line that must scroll inside its own block a very long line that must scroll inside its own block ';

implementation

{$IFDEF DEBUG}
asm
  mov eax, 1
end;
{$ENDIF}

end.
