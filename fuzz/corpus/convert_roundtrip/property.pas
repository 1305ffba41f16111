property Items[Index: Integer]: TItem read GetItem write SetItem; default;
property Name: string read FName nodefault;
index name resident
