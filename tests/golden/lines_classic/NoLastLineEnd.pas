program P;
begin
end.