program P;
{ a  b }
  s := 'xy';
(* <&> *)
end.
