unit Inner;
interface
implementation
end.
