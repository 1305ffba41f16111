lexiformData("l0",[
1,[5,"uses My.Utils;",9,"Sides: Integer;",12,"function MakeShape(Sides: Integer): TShape;",13,"function Describe(const S: TShape): string;",19,"function MakeShape(Sides: Integer): TShape;",21,"MakeShape.Sides := Sides;",24,"function Describe(const S: TShape): string;",26,"Describe := Names[S.Sides mod 4];"],
3,[5,"Shapes, My.Utils,",6,"Extra in 'lib\\extra.pas';",11,"S: TShape;",13,"S := MakeShape(Sides);",14,"WriteLn(Describe(S), ' \u003c & \u003e ', Twice(2));"],
]);
