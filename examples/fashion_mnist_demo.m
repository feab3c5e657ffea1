function varargout = fashion_mnist_demo(folder, varargin)
%FASHION_MNIST_DEMO Pellumar on Fashion-MNIST: ten one-vs-rest classifiers.
%   FASHION_MNIST_DEMO(FOLDER) reads the Fashion-MNIST data set (70,000
%   grayscale 28x28 images of clothing in 10 classes: 60,000 for training,
%   10,000 held out) from the four files in FOLDER:
%       train-images-idx3-ubyte  train-labels-idx1-ubyte
%       t10k-images-idx3-ubyte   t10k-labels-idx1-ubyte
%   each plain or gzip-compressed (.gz), as the data set's authors publish
%   them. FASHION_MNIST_DEMO() or FOLDER '' reads /usr/share/datasets/fashion-mnist,
%   where Debian's package dataset-fashion-mnist puts them.
%
%   The last sixth of the training images is kept as a validation split; for
%   each setting of fashion_settings.txt (passes over the data, lambda;
%   eta0 = 1) pellumar_train trains ten one-vs-rest classifiers on the rest,
%   and pellumar_predict classifies. Pixels are scaled to [0, 1], and a row
%   of ones is appended as the bias once, as the peers get it, rather than by
%   pellumar_train in each setting's time. It prints each setting's validation and held-out accuracy, the
%   time to train all ten classifiers and the per-class held-out accuracy,
%   names the setting with the best validation accuracy, and draws
%       fashion_accuracy_vs_time.png  held-out accuracy against training
%                                     time, one point per setting, with the
%                                     peers' points when their file is there
%       fashion_weights.png           the ten weight vectors of the setting
%                                     chosen on the validation split
%
%   Options, as name-value pairs after FOLDER:
%     'train', N   use the first N training images only
%     'test', N    evaluate on the first N held-out images only
%     'out', DIR   write the pictures into DIR (default: the current folder)
%     'peers', F   a peers' results file ("method passes lambda accuracy
%                  seconds" lines; default DIR/fashion_peers.txt)
%
%   RESULTS = FASHION_MNIST_DEMO(...) also returns one element per setting,
%   with fields passes, lambda, validation, accuracy (held-out), seconds and
%   perClass.
%
%   Needs Pellumar, pellumar_train and pellumar_predict on the path; runs in
%   MATLAB R2018a or later and GNU Octave 6.1 or later.

  here = fileparts(mfilename('fullpath'));
  if nargin < 1 || isempty(folder)
    folder = '/usr/share/datasets/fashion-mnist';
  end
  opts = struct('train', Inf, 'test', Inf, 'out', pwd, 'peers', '');
  for i = 1:2:numel(varargin)
    if ~isfield(opts, varargin{i})
      error('fashionDemo:option', 'unknown option ''%s''', varargin{i});
    end
    opts.(varargin{i}) = varargin{i + 1};
  end
  if isempty(opts.peers)
    opts.peers = fullfile(opts.out, 'fashion_peers.txt');
  end

  classes = {'T-shirt/top', 'Trouser', 'Pullover', 'Dress', 'Coat', ...
             'Sandal', 'Shirt', 'Sneaker', 'Bag', 'Ankle boot'};
  checkDataFolder(folder);
  [X, labels] = loadSplit(folder, 'train', opts.train);
  fit = size(X, 2) - floor(size(X, 2) / 6);
  Xval = X(:, fit + 1:end);
  yval = labels(fit + 1:end);
  Xtrain = X(:, 1:fit);
  ytrain = labels(1:fit);
  [Xtest, ytest] = loadSplit(folder, 't10k', opts.test);
  settings = readSettings(fullfile(here, 'fashion_settings.txt'));
  eta0 = 1;

  fprintf('Fashion-MNIST: %d training, %d validation, %d held-out images, %d pixels (+ bias)\n', ...
          size(Xtrain, 2), size(Xval, 2), size(Xtest, 2), size(Xtrain, 1) - 1);
  fprintf('ten one-vs-rest classifiers, eta0 = %g, T = passes x %d\n\n', eta0, size(Xtrain, 2));
  fprintf('%7s  %8s  %10s  %9s  %9s\n', 'passes', 'lambda', 'validation', 'held-out', 'time (s)');
  results = struct('passes', {}, 'lambda', {}, 'validation', {}, 'accuracy', {}, ...
                   'seconds', {}, 'perClass', {});
  for s = 1:size(settings, 1)
    passes = settings(s, 1);
    lambda = settings(s, 2);
    start = tic;
    model = pellumar_train(Xtrain, ytrain, 'Lambda', lambda, 'Passes', passes, 'Eta0', eta0, ...
                           'Bias', false);
    seconds = toc(start);
    predicted = pellumar_predict(model, Xtest);
    perClass = arrayfun(@(c) mean(predicted(ytest == c) == c), 0:9);
    results(s) = struct('passes', passes, 'lambda', lambda, ...
                        'validation', mean(pellumar_predict(model, Xval) == yval), ...
                        'accuracy', mean(predicted == ytest), 'seconds', seconds, ...
                        'perClass', perClass);
    if results(s).validation > max([results(1:s-1).validation, -Inf])
      chosenWeights = model.W;
      chosen = s;
    end
    fprintf('%7d  %8.0e  %10.4f  %9.4f  %9.2f\n', passes, lambda, results(s).validation, ...
            results(s).accuracy, seconds);
  end

  fprintf('\nPer-class held-out accuracy\n%-12s', 'class');
  fprintf('  %5dp/%-5.0e', [[results.passes]; [results.lambda]]);
  fprintf('\n');
  for c = 1:10
    fprintf('%-12s', classes{c});
    fprintf('  %13.3f', arrayfun(@(r) r.perClass(c), results));
    fprintf('\n');
  end
  best = results(chosen);
  fprintf(['\nchosen on the validation split: %d passes, lambda = %g ' ...
           '(validation %.4f); its held-out accuracy: %.4f\n'], best.passes, best.lambda, ...
          best.validation, best.accuracy);

  if ~exist(opts.out, 'dir')
    mkdir(opts.out);
  end
  drawAccuracyVsTime(results, readPeers(opts.peers), fullfile(opts.out, 'fashion_accuracy_vs_time.png'));
  drawWeights(chosenWeights(1:end-1, :), classes, best, fullfile(opts.out, 'fashion_weights.png'));
  if nargout > 0
    varargout{1} = results;
  end
end

function checkDataFolder(folder)
  % All four files, each plain or .gz, or an error that says where to get them.
  names = {'train-images-idx3-ubyte', 'train-labels-idx1-ubyte', ...
           't10k-images-idx3-ubyte', 't10k-labels-idx1-ubyte'};
  missing = {};
  for i = 1:numel(names)
    if exist(dataFile(folder, names{i}), 'file') ~= 2
      missing{end + 1} = names{i};  %#ok<AGROW>
    end
  end
  if ~isempty(missing)
    error('fashionDemo:noData', ...
          ['Fashion-MNIST not found in %s (missing: %s).\n' ...
           'The demo needs the four files %s, plain or .gz. Get them from the Fashion-MNIST ' ...
           'data set''s own release by Zalando Research, or on Debian and Ubuntu install the ' ...
           'package dataset-fashion-mnist; then call fashion_mnist_demo(FOLDER) with their folder.'], ...
          folder, strjoin(missing, ', '), strjoin(names, ', '));
  end
end

function [X, labels] = loadSplit(folder, prefix, count)
  % Images as columns scaled to [0, 1] with a row of ones; labels 0..9.
  [pixels, dims] = read_idx(dataFile(folder, [prefix '-images-idx3-ubyte']));
  [labels, labelDims] = read_idx(dataFile(folder, [prefix '-labels-idx1-ubyte']));
  if numel(dims) ~= 3 || numel(labelDims) ~= 1 || dims(1) ~= labelDims(1)
    error('fashionDemo:shape', '%s: %s images but %s labels', prefix, mat2str(dims), ...
          mat2str(labelDims));
  end
  n = min(count, dims(1));
  X = [reshape(pixels(1:n * dims(2) * dims(3)), dims(2) * dims(3), n) / 255; ones(1, n)];
  labels = labels(1:n)';
end

function path = dataFile(folder, name)
  % The plain file where there is one, else the .gz.
  path = fullfile(folder, name);
  if exist(path, 'file') ~= 2
    path = [path '.gz'];
  end
end

function settings = readSettings(path)
  % Rows of [passes, lambda]; lines starting with # are comments.
  lines = regexp(fileread(path), '[^\n]+', 'match');
  settings = zeros(0, 2);
  for i = 1:numel(lines)
    line = strtrim(lines{i});
    if ~isempty(line) && line(1) ~= '#'
      settings(end + 1, :) = sscanf(line, '%f', 2)';  %#ok<AGROW>
    end
  end
end

function peers = readPeers(file)
  % The peers' points by method, from "method passes lambda accuracy seconds"
  % lines; none when there is no such file.
  peers = struct('name', {}, 'seconds', {}, 'accuracy', {}, 'labels', {});
  if exist(file, 'file') ~= 2
    return;
  end
  fid = fopen(file, 'r');
  fields = textscan(fid, '%s %f %f %f %f');
  fclose(fid);
  methods = {'sgd', 'scikit-learn averaged SGD'; 'linearsvc', 'scikit-learn LinearSVC (C = 1)'};
  for m = 1:size(methods, 1)
    mine = strcmp(fields{1}, methods{m, 1});
    if any(mine)
      peers(end + 1) = struct('name', methods{m, 2}, 'seconds', fields{5}(mine)', ...
                              'accuracy', fields{4}(mine)', ...
                              'labels', {pointLabels(fields{2}(mine), fields{3}(mine))});  %#ok<AGROW>
    end
  end
end

function labels = pointLabels(passes, lambda)
  % "5p, 1e-05" for a setting; "C = 1" for a method without passes.
  labels = cell(numel(passes), 1);
  for i = 1:numel(passes)
    if passes(i) > 0
      labels{i} = sprintf('%dp, %.0e', passes(i), lambda(i));
    else
      labels{i} = sprintf('C = %g', lambda(i));
    end
  end
end

function drawAccuracyVsTime(results, peers, picture)
  % Ours and each peer's points, labelled with their settings.
  fig = example_figure(720, 450);
  markers = {'o', 's', 'd'};
  colours = [0.12 0.37 0.75; 0.90 0.49 0.13; 0.75 0.22 0.17];
  names = [{'Pellumar'}, {peers.name}];
  seconds = [{[results.seconds]}, {peers.seconds}];
  accuracy = [{[results.accuracy]}, {peers.accuracy}];
  labels = [{pointLabels([results.passes], [results.lambda])}, {peers.labels}];
  handles = [];  % graphics objects in MATLAB, numbers in Octave: concatenated, not assigned
  for m = 1:numel(names)
    handles = [handles, semilogx(seconds{m}, accuracy{m}, markers{m}, 'MarkerSize', 8, ...
                                 'Color', colours(m, :), 'MarkerFaceColor', colours(m, :), ...
                                 'LineStyle', 'none')];  %#ok<AGROW>
    hold on;
    text(seconds{m} * 1.08, accuracy{m}, labels{m}, 'FontSize', 8);
  end
  hold off;
  grid on;
  allSeconds = [seconds{:}];
  allAccuracy = [accuracy{:}];
  xlim([min(allSeconds) / 1.5, max(allSeconds) * 3]);
  ylim([min(allAccuracy) - 0.01, max(allAccuracy) + 0.01]);
  xlabel('time to train all ten classifiers (s, log scale)');
  ylabel('held-out accuracy');
  title('Fashion-MNIST, ten one-vs-rest linear classifiers');
  legend(handles, names, 'Location', 'southeast');
  print(fig, '-dpng', '-r96', picture);
  close(fig);
  fprintf('held-out accuracy against training time: %s\n', picture);
end

function drawWeights(W, classes, setting, picture)
  % Each class's weights as a 28x28 image, white at zero, blue negative, red
  % positive, scaled to that class's largest magnitude.
  fig = example_figure(940, 450);
  colormap(divergingPalette(255));
  for c = 1:10
    subplot(2, 5, c);
    weights = reshape(W(:, c), 28, 28)';  % pixels are stored row by row
    limit = max([abs(weights(:)); eps]);
    imagesc(weights, [-limit limit]);
    axis image off;
    title(classes{c});
  end
  print(fig, '-dpng', '-r96', picture);
  close(fig);
  fprintf('weights (%d passes, lambda = %g; red favours the class, blue counts against it): %s\n', ...
          setting.passes, setting.lambda, picture);
end

function palette = divergingPalette(n)
  % Blue through white to red, n colours (MATLAB has no diverging map built in).
  blue = [0.13 0.40 0.67];
  red = [0.70 0.09 0.17];
  half = linspace(0, 1, ceil(n / 2))';
  toWhite = blue + half .* (1 - blue);
  fromWhite = 1 - half .* (1 - red);
  palette = [toWhite; fromWhite(2:end, :)];
end
