% Soak: 100,000 calls of mixed valid, refused and sparse inputs in one Octave
% process. Resident memory after the first 1,000 calls may grow by less than
% 1 MB. Every tenth call is a sparse refusal: standard output then holds
% exactly 10,000 refusal lines and nothing else, which the caller checks.
% Results go to standard error, ending with "N passed, N failed".
1;

function kb = residentKb()
  text = fileread('/proc/self/status');
  kb = sscanf(regexp(text, 'VmRSS:\s*(\d+)', 'tokens', 'once'){1}, '%d');
end

X = randn(12, 40);
y = sign(randn(1, 40));
S = sparse(X);
refused = {
  {X, y, 1e-3, Inf, 0.5}
  {single(X), y, 1e-3, 10, 0.5}
  {X, y(1:5), 1e-3, 10, 0.5}
  {X, y, [], 10, 0.5}
  {X, y}
  {zeros(3, 0), [], 0.1, 4, 0.5}
};
calls = 100000;
wrong = 0;
for k = 1:calls
  if k == 1001
    baseline = residentKb();
  end
  kind = mod(k, 10);
  if kind == 0
    Pellumar(S, y, 1e-3, 10, 0.5);
  elseif kind <= 5
    w = Pellumar(X(:, 1:(kind * 8)), y, 1e-3, 20 * kind, 0.5);
    wrong = wrong + ~isequal(size(w), [12 1]);
  else
    args = refused{mod(floor(k / 10), numel(refused)) + 1};
    try
      Pellumar(args{:});
      wrong = wrong + 1;
    catch err
      wrong = wrong + ~strncmp(err.identifier, 'Pellumar:', 9);
    end
  end
end
grown = residentKb() - baseline;
fprintf(2, 'soak: %d calls, %d wrong outcomes, resident memory grew by %d kB after the first 1,000\n', ...
        calls, wrong, grown);
failed = (wrong > 0) + (grown >= 1024);
fprintf(2, '%d passed, %d failed\n', 2 - failed, failed);
exit(failed > 0);
