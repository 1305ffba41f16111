unit Units;
{ Tom & Jerry <tag> }
interface
const
  Greeting = '<b>Hello</b> & welcome';
  Table: array[0..3] of Integer = (1, $FF, 12.5e3, #65);
  VeryLongLine = 'xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx';
implementation
end.
