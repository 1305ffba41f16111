unit Extra;

interface

implementation

(*$I ..\settings.inc*)

end.
