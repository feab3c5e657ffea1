% Writes pellumar_order for a table of sizes and seeds to the file OUT, one
% order a line: "N seed i1 ... iN", for reference_order.py to check.
rows = [0 7; 1 0; 2 41; 3 0; 10 42; 97 1; 1000 123456789; 4096 2^53 - 1; 30000 2^32; 65537 9];
fid = fopen(OUT, 'w');
for r = 1:size(rows, 1)
  order = pellumar_order(rows(r, 1), rows(r, 2));
  fprintf(fid, '%d %d', rows(r, 1), rows(r, 2));
  fprintf(fid, ' %d', order);
  fprintf(fid, '\n');
end
fclose(fid);
