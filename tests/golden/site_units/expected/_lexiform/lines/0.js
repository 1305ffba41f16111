lexiformData("l0",[
0,[11,"Result := X * 2; // café in windows-1252"],
1,[12,"function MakeShape(Sides: Integer): TShape;",13,"function Describe(const S: TShape): string;",19,"function MakeShape(Sides: Integer): TShape;",21,"MakeShape.Sides := Sides;",24,"function Describe(const S: TShape): string;",26,"Describe := Names[S.Sides mod 4];"],
3,[11,"S: TShape;",13,"S := MakeShape(Sides);",14,"WriteLn(Describe(S), ' \u003c & \u003e ', Twice(2));"],
]);
