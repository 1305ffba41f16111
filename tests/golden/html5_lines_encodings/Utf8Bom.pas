unit Utf8Bom;
{ Informação: “quotes” — não }
const S = 'não';
(* two
   lines *)
end.
