unit Units; // another unit of the same name
end.
