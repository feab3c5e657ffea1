% What pellumar_train and pellumar_search cost beyond the module's own calls,
% on Fashion-MNIST: ten one-vs-rest classifiers, one pass, lambda 1e-5,
% eta0 1. Run by make bench-toolbox with the module, toolbox/ and examples/
% on the path; FASHION is the data's folder and BASE_TOOLBOX a folder with
% an earlier release's toolbox (1.1.0), whose search is timed against
% today's. Each way is timed in alternation, REPEATS times, and the best is
% kept. For reading: timings on a shared machine are not asserted.
1;

function seconds = direct(X, labels, T)
  start = tic;
  for c = 0:9
    Pellumar(X, 2 * (labels == c) - 1, 1e-5, T, 1);
  end
  seconds = toc(start);
end

function seconds = viaTrain(X, labels, threads)
  start = tic;
  pellumar_train(X, labels, 'Lambda', 1e-5, 'Passes', 1, 'Eta0', 1, 'Threads', threads);
  seconds = toc(start);
end

function seconds = search(X, labels, varargin)
  start = tic;
  pellumar_search(X, labels, 'Eta0', 1, 'Verbose', false, varargin{:});
  seconds = toc(start);
end

REPEATS = 5;
[pixels, dims] = read_idx(fullfile(FASHION, 'train-images-idx3-ubyte.gz'));
labels = read_idx(fullfile(FASHION, 'train-labels-idx1-ubyte.gz'))';
X = reshape(pixels, dims(2) * dims(3), dims(1)) / 255;
clear pixels;
N = size(X, 2);
Xs = single(X);
best = Inf(1, 5);
for r = 1:REPEATS
  best(1) = min(best(1), direct(X, labels, N));
  best(2) = min(best(2), viaTrain(X, labels, 1));
  best(3) = min(best(3), viaTrain(X, labels, 2));
  best(4) = min(best(4), viaTrain(Xs, labels, 1));
  best(5) = min(best(5), viaTrain(Xs, labels, 2));
end
fprintf('Fashion-MNIST, %d images, ten one-vs-rest classifiers, one pass, best of %d (s):\n', N, REPEATS);
fprintf('  Pellumar, direct calls without a bias row          %.3f\n', best(1));
fprintf('  pellumar_train, bias, 1 thread                     %.3f  %.3fx the direct calls\n', ...
        best(2), best(2) / best(1));
fprintf('  pellumar_train, bias, 2 threads                    %.3f  %.3fx one thread\n', ...
        best(3), best(3) / best(2));
fprintf('  pellumar_train, single data, 1 thread              %.3f  %.3fx double\n', ...
        best(4), best(4) / best(2));
fprintf('  pellumar_train, single data, 2 threads             %.3f  %.3fx double\n', ...
        best(5), best(5) / best(3));

% The default grid (6 lambdas x passes 5 and 20, 5 folds) on a subset:
% today's search against 1.1.0's, in alternation.
subset = 1:SEARCH_IMAGES;
current = path();
times = Inf(1, 3);
for r = 1:2
  times(1) = min(times(1), search(X(:, subset), labels(subset), 'Threads', 1));
  times(2) = min(times(2), search(X(:, subset), labels(subset)));
  addpath(BASE_TOOLBOX);
  times(3) = min(times(3), search(X(:, subset), labels(subset)));
  path(current);
end
fprintf(['pellumar_search, Fashion-MNIST first %d images, default grid (12 settings x 5 folds), ' ...
         'best of 2 (s):\n'], numel(subset));
fprintf('  1.1.0 (a copy of X per fold and setting, each setting its own run)  %.2f\n', times(3));
fprintf('  today, 1 thread                                                     %.2f  %.3fx 1.1.0\n', ...
        times(1), times(1) / times(3));
fprintf('  today, default threads (%d)                                          %.2f  %.3fx 1.1.0\n', ...
        nproc(), times(2), times(2) / times(3));
