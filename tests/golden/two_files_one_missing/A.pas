unit A;
{ a<b & c>d }
interface
const S = '<br>';
implementation
end.
