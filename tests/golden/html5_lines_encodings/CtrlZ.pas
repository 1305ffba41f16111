program CtrlZ;
{ a comment <with> a  cut: & more }
const
  S = 'a string  with <b> & more';
(* a paren comment
    on its second line *)
begin
  x := 1; // a line comment  <i>
  y := 2;
end.
 after the end
