unit Deeper; { too deep for -sub 1 }
end.
