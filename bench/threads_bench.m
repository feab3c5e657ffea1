% Threads against one thread: pellumar_train on synthetic data, 'Threads', 1
% against the default threads (or 'Threads', THREADS when THREADS is set), in
% alternation within one process, best of REPEATS each, with one seed, the two
% models checked to be the same bits. Kinds of data (KINDS):
%   'small dense'  10 features, 1,000 samples, 5 passes: trainings of tens of
%                  microseconds, where starting a thread costs about as much
%   'dense'        200 features, 40,000 samples (64 MB), 2 passes
%   'sparse'       100,000 samples of about 50 non-zeros among 100,000
%                  features (Zipf-distributed, as words are), 3 passes
% for 2, 3, 10 and 40 classes (CLASSES): one classifier for two classes, one
% per class above. Run from the source tree, the engine built (make octave):
%   octave-cli --eval "addpath('toolbox'); run('bench/threads_bench.m')"
% With a second core kept busy: the same while a busy loop holds core 1,
%   taskset -c 1 sh -c 'while :; do :; done'
% Pinned to one core, where nproc, and so the default, is 1:
%   taskset -c 0 octave-cli --eval "addpath('toolbox'); THREADS = 2; run('bench/threads_bench.m')"
% For reading: nothing is asserted about times, which depend on what else
% the machine runs (doc/PERFORMANCE.md, Threads).
if ~exist('REPEATS', 'var')
  REPEATS = 5;
end
if ~exist('THREADS', 'var')
  THREADS = [];
end
if ~exist('KINDS', 'var')
  KINDS = {'small dense', 'dense', 'sparse'};
end
if ~exist('CLASSES', 'var')
  CLASSES = [2 3 10 40];
end
if ~isempty(THREADS)
  others = {'Threads', THREADS};
  otherName = sprintf('Threads %d', THREADS);
elseif exist('OCTAVE_VERSION', 'builtin')
  others = {};
  otherName = sprintf('default (%d)', nproc());
else
  others = {};
  otherName = sprintf('default (%d)', maxNumCompThreads());
end

rand('state', 7);
randn('state', 7);
fprintf('pellumar_train, ''Threads'', 1 against %s, best of %d in alternation (s)\n', ...
        otherName, REPEATS);
fprintf('%-12s %7s %10s %14s %8s %s\n', 'data', 'classes', '1 thread', otherName, 'ratio', 'bits');
for kind = KINDS
  switch kind{1}
    case 'small dense'
      X = randn(10, 1000);
      passes = 5;
    case 'dense'
      X = randn(200, 40000);
      passes = 2;
    case 'sparse'
      % Features drawn with probability proportional to 1/k, by inverse
      % transform; repeated words add up, as counts do.
      N = 100000;
      M = 100000;
      perSample = 50;
      rows = min(max(floor(exp(rand(perSample * N, 1) * log(M + 1))), 1), M);
      cols = reshape(repmat(1:N, perSample, 1), [], 1);
      X = spfun(@log1p, sparse(rows, cols, 1, M, N));
      clear rows cols;
      passes = 3;
    otherwise
      error('threads_bench: unknown kind of data ''%s''', kind{1});
  end
  for K = CLASSES
    % Class of a sample: the best of K random linear rules on its first
    % (at most 1,000) features, so that every class has samples.
    used = min(size(X, 1), 1000);
    scores = randn(K, used) * X(1:used, :);
    [~, labels] = max(full(scores), [], 1);
    train = @(varargin) pellumar_train(X, labels, 'Lambda', 1e-5, 'Passes', passes, ...
                                       'Eta0', 0.5, 'Seed', 11, varargin{:});
    % Once each untimed: the functions loaded, the data's pages touched.
    one = train('Threads', 1);
    other = train(others{:});
    best = [Inf Inf];
    for r = 1:REPEATS
      for way = circshift([1 2], [0, mod(r, 2)])
        start = tic;
        if way == 1
          one = train('Threads', 1);
        else
          other = train(others{:});
        end
        best(way) = min(best(way), toc(start));
      end
    end
    if isequal(typecast(one.W(:), 'uint64'), typecast(other.W(:), 'uint64'))
      same = 'same';
    else
      same = 'DIFFERENT';
    end
    fprintf('%-12s %7d %10.4f %14.4f %7.2fx %s\n', kind{1}, numel(unique(labels)), best(1), ...
            best(2), best(2) / best(1), same);
  end
end
