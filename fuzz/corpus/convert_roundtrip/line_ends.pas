ab
c
d { multi
line <comment> }(* two
lines *)
'open string
x