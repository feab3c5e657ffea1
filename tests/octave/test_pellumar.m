% Checks of the built module inside GNU Octave: exact results, the conversion
% of T, refusals with identifiers, the sparse line, and memory over many calls.
% Run with the module's folder on the path; prints "N passed, N failed".
1;

function id = errorOf(varargin)
  id = '';
  try
    Pellumar(varargin{:});
  catch err
    id = err.identifier;
  end
end

function kb = residentKb()
  text = fileread('/proc/self/status');
  kb = sscanf(regexp(text, 'VmRSS:\s*(\d+)', 'tokens', 'once'){1}, '%d');
end

global passed failed
passed = 0;
failed = 0;

% The worked example, compared as bit patterns.
X = [1; 2];
expected = {[0.1; 0.2], ...
            [0.13358757210636102; 0.26717514421272204], ...
            [0.16241979487291838; 0.32483958974583677]};
for T = 1:3
  w = Pellumar(X, 1, 0.5, T, 0.1);
  check(isequal(num2hex(w), num2hex(expected{T})), sprintf('worked example T = %d', T));
end

% T is truncated toward zero; NaN and T < 1 train nothing.
check(isequal(Pellumar(X, 1, 0.5, 0.9, 0.1), [0; 0]), 'T = 0.9 gives zeros');
check(isequal(Pellumar(X, 1, 0.5, -3, 0.1), [0; 0]), 'T = -3 gives zeros');
check(isequal(Pellumar(X, 1, 0.5, NaN, 0.1), [0; 0]), 'T = NaN gives zeros');
check(isequal(num2hex(Pellumar(X, 1, 0.5, 2.9, 0.1)), num2hex(expected{2})), 'T = 2.9 runs two');
check(isequal(num2hex(Pellumar(X, 1, 0.5, int32(3), 0.1)), num2hex(expected{3})), 'int32 T');

% Inputs past the fifth are ignored; rows follow X, not the labels.
check(isequal(Pellumar(X, 1, 0.5, 3, 0.1, 'extra', {1, 2}), Pellumar(X, 1, 0.5, 3, 0.1)), ...
      'extra inputs ignored');
w = Pellumar(reshape(1:12, 3, 4), [1 -1 1 -1 1 1 1], 0.01, 10, 0.5);
check(isequal(size(w), [3 1]), 'output is rows(X) x 1');
check(isequal(size(Pellumar(zeros(0, 3), [1 1 1], 0.1, 5, 1)), [0 1]), 'M = 0 gives 0 x 1');

% Every unsafe call is refused with an identifier, and Octave carries on.
refusals = {
  'Pellumar:nargin',            {}
  'Pellumar:nargin',            {X, 1, 0.5, 3}
  'Pellumar:badData',           {single(X), 1, 0.5, 3, 0.1}
  'Pellumar:badData',           {int8(X), 1, 0.5, 3, 0.1}
  'Pellumar:badData',           {X > 0, 1, 0.5, 3, 0.1}
  'Pellumar:badData',           {'ab', 1, 0.5, 3, 0.1}
  'Pellumar:badData',           {X + 1i, 1, 0.5, 3, 0.1}
  'Pellumar:badData',           {{1}, 1, 0.5, 3, 0.1}
  'Pellumar:badData',           {struct('a', 1), 1, 0.5, 3, 0.1}
  'Pellumar:badLabels',         {X, single(1), 0.5, 3, 0.1}
  'Pellumar:badLabels',         {X, sparse(1), 0.5, 3, 0.1}
  'Pellumar:badLabels',         {X, 1 + 1i, 0.5, 3, 0.1}
  'Pellumar:labelCount',        {[X X], 1, 0.5, 3, 0.1}
  'Pellumar:badLambda',         {X, 1, [], 3, 0.1}
  'Pellumar:badIterations',     {X, 1, 0.5, 'a', 0.1}
  'Pellumar:badStep',           {X, 1, 0.5, 3, {0.1}}
  'Pellumar:tooManyIterations', {X, 1, 0.5, 2^31, 0.1}
  'Pellumar:tooManyIterations', {X, 1, 0.5, Inf, 0.1}
  'Pellumar:noSamples',         {zeros(2, 0), [], 0.5, 3, 0.1}
};
for r = 1:rows(refusals)
  got = errorOf(refusals{r, 2}{:});
  check(strcmp(got, refusals{r, 1}), sprintf('refusal %d: want %s, got "%s"', r, refusals{r, 1}, got));
end
check(isequal(Pellumar(zeros(2, 0), [], 0.5, 0, 0.1), [0; 0]), 'N = 0 with T = 0 gives zeros');
check(isequal(num2hex(Pellumar(X, 1, 0.5, 3, 0.1)), num2hex(expected{3})), 'still running after refusals');

% The sparse refusal is one line on the process's standard output: run it in
% a child Octave so the line can be counted where it lands.
moduleDir = fileparts(which('Pellumar'));
command = sprintf(['octave-cli --quiet --no-history --no-init-file --eval ' ...
                   '"addpath(''%s''); Pellumar(sparse([1;2]), 1, 0.5, 3, 0.1); ' ...
                   'Pellumar(sparse(1)); disp(''after'')"'], moduleDir);
[status, output] = system(command);
lines = strsplit(strtrim(output), "\n");
check(status == 0 && isequal(lines, {'SGD sparse is not ready', 'SGD sparse is not ready', 'after'}), ...
      sprintf('sparse line, got: %s', output));

% Many calls leave no memory behind: valid and refused calls alike.
Xs = randn(20, 50);
ys = sign(randn(1, 50));
for k = 1:1000
  Pellumar(Xs, ys, 1e-3, 100, 0.5);
  errorOf(Xs, ys, 1e-3, Inf, 0.5);
end
before = residentKb();
for k = 1:10000
  Pellumar(Xs, ys, 1e-3, 100, 0.5);
  errorOf(Xs, ys, 1e-3, Inf, 0.5);
end
grown = residentKb() - before;
check(grown < 1024, sprintf('resident memory grew by %d kB over 10,000 calls', grown));

% The example data, standardised with the training split's statistics and
% given a bias row: held-out accuracy on a par with a linear SVM.
addpath(fullfile(fileparts(mfilename('fullpath')), '..', '..', 'examples'));
data = load_breast_cancer();
centre = mean(data.Xtrain, 2);
scale = std(data.Xtrain, 0, 2);
w = Pellumar([(data.Xtrain - centre) ./ scale; ones(1, columns(data.Xtrain))], data.ytrain, ...
             1e-3, 20 * columns(data.Xtrain), 0.5);
heldOutAccuracy = mean(sign(w' * [(data.Xtest - centre) ./ scale; ones(1, columns(data.Xtest))]) == data.ytest);
check(heldOutAccuracy >= 0.95, sprintf('held-out accuracy %.4f', heldOutAccuracy));

printf('%d passed, %d failed\n', passed, failed);
exit(failed > 0);
