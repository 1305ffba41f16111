program Top;
begin
end.
