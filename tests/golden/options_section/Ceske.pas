unit Ceske;
{ Pøíliš luouèkı kùò úpìl ïábelské ódy }
const S = 'Šastnı';
end.
