% What pellumar_train and pellumar_search cost beyond the module's own calls,
% on Fashion-MNIST (ten one-vs-rest classifiers, one pass, lambda 1e-5,
% eta0 1) and the breast-cancer data. Run by make bench-toolbox with the
% module, toolbox/ and examples/ on the path; FASHION is the data's folder.
% Each way is timed in alternation, REPEATS times, and the best is kept.
1;

function seconds = direct(X, labels, T)
  start = tic;
  for c = 0:9
    Pellumar(X, 2 * (labels == c) - 1, 1e-5, T, 1);
  end
  seconds = toc(start);
end

function seconds = viaTrain(X, labels, bias)
  start = tic;
  pellumar_train(X, labels, 'Lambda', 1e-5, 'Passes', 1, 'Eta0', 1, 'Bias', bias);
  seconds = toc(start);
end

REPEATS = 7;
[pixels, dims] = read_idx(fullfile(FASHION, 'train-images-idx3-ubyte.gz'));
labels = read_idx(fullfile(FASHION, 'train-labels-idx1-ubyte.gz'))';
X = reshape(pixels, dims(2) * dims(3), dims(1)) / 255;
clear pixels;
N = size(X, 2);
Xbias = [X; ones(1, N)];
best = Inf(1, 4);
for r = 1:REPEATS
  best(1) = min(best(1), direct(X, labels, N));
  best(2) = min(best(2), viaTrain(X, labels, false));
  best(3) = min(best(3), direct(Xbias, labels, N));
  best(4) = min(best(4), viaTrain(X, labels, true));
end
fprintf('Fashion-MNIST, %d images, ten one-vs-rest classifiers, one pass, best of %d (s):\n', N, REPEATS);
fprintf('  no bias row:  direct calls %.3f  pellumar_train %.3f  ratio %.3f\n', best(1), best(2), best(2) / best(1));
fprintf('  bias row:     direct calls %.3f  pellumar_train %.3f  ratio %.3f (the copy with the row inside)\n', ...
        best(3), best(4), best(4) / best(3));

data = load_breast_cancer();
start = tic;
pellumar_search(data.Xtrain, data.ytrain, 'Standardize', true, 'Verbose', false);
fprintf('pellumar_search, breast cancer (%d samples), default grid (12 settings x 5 folds): %.2f s\n', ...
        size(data.Xtrain, 2), toc(start));
subset = 1:10000;
start = tic;
result = pellumar_search(X(:, subset), labels(subset), 'Lambda', [1e-6 1e-5 1e-4], ...
                         'Passes', [1 5], 'Eta0', 1, 'Folds', 3, 'Verbose', false);
fprintf(['pellumar_search, Fashion-MNIST first %d images, 3 lambdas x 2 passes x 3 folds: %.2f s ' ...
         '(best: lambda %g, passes %g, accuracy %.4f)\n'], numel(subset), toc(start), ...
        result.Best.Lambda, result.Best.Passes, result.Best.Accuracy);
