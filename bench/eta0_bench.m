% Held-out accuracy of the defaults, Eta0 'auto', against Eta0 0.5, the
% default before 'auto' (an explicit Eta0 trains as it did then, bit for
% bit), on the text example, Fashion-MNIST and the breast-cancer data, each
% on the same seeds both ways. Run in Octave with the module,
% toolbox/ and examples/ on the path, and TEXT (the folder that make
% demo-text writes, build/text) and FASHION (the Fashion-MNIST IDX files,
% /usr/share/datasets/fashion-mnist) set; either may be '' to skip it. For
% reading: the times are single runs on whatever else the machine is doing.
% From the source tree's root (run changes into bench/, hence whole paths):
%
%   octave-cli --eval "addpath([pwd '/build/octave'], [pwd '/toolbox'], \
%     [pwd '/examples']); TEXT = [pwd '/build/text']; \
%     FASHION = '/usr/share/datasets/fashion-mnist'; run([pwd '/bench/eta0_bench.m'])"
1;

function report(what, seeds, ways, results)
  % RESULTS: one row per way, its held-out accuracies; then their seconds.
  fprintf('%s, %d seed(s):\n', what, seeds);
  for w = 1:size(results, 1)
    fprintf('  %-8s %.4f (%.4f-%.4f), %.2f s a run\n', ways{w, 1}, mean(results{w, 1}), ...
            min(results{w, 1}), max(results{w, 1}), mean(results{w, 2}));
  end
end

function runs = trainings(X, y, Xtest, ytest, seeds, ways, varargin)
  % Each way's accuracies and times over the seeds, pellumar_train's.
  runs = cell(size(ways, 1), 2);
  for w = 1:size(ways, 1)
    for seed = 1:seeds
      start = tic;
      model = pellumar_train(X, y, 'Seed', seed, ways{w, 2}{:}, varargin{:});
      runs{w, 2}(seed) = toc(start);
      runs{w, 1}(seed) = mean(pellumar_predict(model, Xtest) == ytest);
    end
  end
end

function runs = searches(X, y, Xtest, ytest, seeds, ways, varargin)
  % The same for pellumar_search's model, its grid's Eta0 set as above.
  runs = cell(size(ways, 1), 2);
  for w = 1:size(ways, 1)
    for seed = 1:seeds
      start = tic;
      result = pellumar_search(X, y, 'Seed', seed, 'Verbose', false, ways{w, 2}{:}, varargin{:});
      runs{w, 2}(seed) = toc(start);
      runs{w, 1}(seed) = mean(pellumar_predict(result.Model, Xtest) == ytest);
    end
  end
end

ways = {'Eta0 0.5', {'Eta0', 0.5}; 'auto', {}};
fprintf('held-out accuracy: mean over the seeds (lowest-highest), mean seconds\n');
if ~isempty(TEXT)
  features = sscanf(fileread(fullfile(TEXT, 'features.txt')), '%d', 1);
  [ytrain, Xtrain] = pellumar_read_libsvm(fullfile(TEXT, 'train.libsvm'), features);
  [ytest, Xtest] = pellumar_read_libsvm(fullfile(TEXT, 'test.libsvm'), features);
  report('text, pellumar_train(X, labels)', 3, ways, ...
         trainings(Xtrain, ytrain, Xtest, ytest, 3, ways));
  report('text, pellumar_search(X, labels)', 2, ways, ...
         searches(Xtrain, ytrain, Xtest, ytest, 2, ways));
end
if ~isempty(FASHION)
  images = @(name) double(reshape(read_idx(fullfile(FASHION, name)), 784, [])) / 255;
  Xtrain = images('train-images-idx3-ubyte.gz');
  ytrain = double(read_idx(fullfile(FASHION, 'train-labels-idx1-ubyte.gz')))';
  Xtest = images('t10k-images-idx3-ubyte.gz');
  ytest = double(read_idx(fullfile(FASHION, 't10k-labels-idx1-ubyte.gz')))';
  report('Fashion-MNIST, pellumar_train(X / 255, labels)', 3, ways, ...
         trainings(Xtrain, ytrain, Xtest, ytest, 3, ways));
  report('Fashion-MNIST, first 10,000, pellumar_search', 3, ways, ...
         searches(Xtrain(:, 1:10000), ytrain(1:10000), Xtest, ytest, 3, ways));
end
data = load_breast_cancer();
report('breast cancer, pellumar_train, Standardize', 100, ways, ...
       trainings(data.Xtrain, data.ytrain, data.Xtest, data.ytest, 100, ways, 'Standardize', true));
report('breast cancer, pellumar_train, raw features', 100, ways, ...
       trainings(data.Xtrain, data.ytrain, data.Xtest, data.ytest, 100, ways));
report('breast cancer, pellumar_search, Standardize', 30, ways, ...
       searches(data.Xtrain, data.ytrain, data.Xtest, data.ytest, 30, ways, 'Standardize', true));
