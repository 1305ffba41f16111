program Amp;{ R&D <notes> }const  A = 'x<y & y>z';  B = 1 < 2;begin  writeln(A)end. trailing text after Ctrl-Z
