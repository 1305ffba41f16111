unit Twelve;
const C1 = 1; { < & > }
const C2 = 2; { < & > }
const C3 = 3; { < & > }
const C4 = 4; { < & > }
const C5 = 5; { < & > }
const C6 = 6; { < & > }
const C7 = 7; { < & > }
const C8 = 8; { < & > }
const C9 = 9; { < & > }
const C10 = 10; { < & > }
end.
