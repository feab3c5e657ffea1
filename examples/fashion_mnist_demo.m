function varargout = fashion_mnist_demo(folder, varargin)
%FASHION_MNIST_DEMO Pellumar on Fashion-MNIST: one-vs-rest classifiers.
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
%   eta0 = 1) pellumar_train trains one-vs-rest classifiers on the rest (ten
%   on the whole data set; one for a slice that holds two classes), and
%   pellumar_predict classifies. Pixels are scaled to [0, 1], and a row of
%   ones is appended as the bias once, as the peers get it, rather than by
%   pellumar_train in each setting's time. It prints each setting's
%   validation and held-out accuracy, the time to train all the classifiers
%   and the per-class held-out accuracy (NaN for a class that the held-out
%   images lack), names the setting with the best validation accuracy, and
%   draws
%       fashion_accuracy_vs_time.png  held-out accuracy against training
%                                     time, one point per setting, with the
%                                     peers' points when their file is there
%       fashion_weights.png           the weight vectors of the setting
%                                     chosen on the validation split
%
%   Options, as name-value pairs after FOLDER:
%     'train', N   use the first N training images only (N >= 6: five to
%                  train on and one to validate with, at the least)
%     'test', N    evaluate on the first N held-out images only (N >= 1)
%     'out', DIR   write the pictures into DIR (default: the current folder)
%     'peers', F   a peers' results file ("method passes lambda accuracy
%                  seconds" lines; default DIR/fashion_peers.txt)
%
%   RESULTS = FASHION_MNIST_DEMO(...) also returns one element per setting,
%   with fields passes, lambda, validation, accuracy (held-out), seconds,
%   classes (the labels seen in the training and held-out images) and
%   perClass (the held-out accuracy of each of those classes).
%
%   Errors (identifier: cause)
%     fashionDemo:options    the options are not name-value pairs
%     fashionDemo:option     an option name that is not one of the above
%     fashionDemo:badOption  an option value of the wrong kind, or a count
%                            that is not a whole number >= 1
%     fashionDemo:noData     the four files are not in FOLDER
%     fashionDemo:shape      the files' images and labels do not match
%     fashionDemo:tooFew     too few images to train, validate and evaluate
%   and those of read_idx (a broken file) and pellumar_train (such as
%   pellumar:oneClass, when the training images hold one class only).
%
%   Needs Pellumar, pellumar_train and pellumar_predict on the path; runs in
%   MATLAB R2018a or later and GNU Octave 6.1 or later.

  here = fileparts(mfilename('fullpath'));
  if nargin < 1 || isempty(folder)
    folder = '/usr/share/datasets/fashion-mnist';
  end
  if ~ischar(folder)
    error('fashionDemo:badOption', 'the folder must be a character vector');
  end
  opts = readOptions(varargin);

  checkDataFolder(folder);
  [X, labels, imageSize] = loadSplit(folder, 'train', opts.train);
  fit = size(X, 2) - floor(size(X, 2) / 6);
  [Xtest, ytest] = loadSplit(folder, 't10k', opts.test);
  if fit == size(X, 2) || size(Xtest, 2) == 0
    error('fashionDemo:tooFew', ['%d training and %d held-out images: the demo needs 6 or more ' ...
          'training images (a sixth of them, rounded down, to validate with) and 1 or more ' ...
          'held-out ones'], size(X, 2), size(Xtest, 2));
  end
  Xval = X(:, fit + 1:end);
  yval = labels(fit + 1:end);
  Xtrain = X(:, 1:fit);
  ytrain = labels(1:fit);
  settings = readSettings(fullfile(here, 'fashion_settings.txt'));
  eta0 = 1;
  % The classes a slice holds may be fewer than ten: the per-class table has
  % those seen in training or held out, and the classifiers those trained on.
  classes = unique([labels, ytest]);
  trained = unique(ytrain);
  classifiers = numel(trained) - (numel(trained) == 2);

  fprintf('Fashion-MNIST: %d training, %d validation, %d held-out images, %d pixels (+ bias)\n', ...
          size(Xtrain, 2), size(Xval, 2), size(Xtest, 2), size(Xtrain, 1) - 1);
  fprintf('%d classes in training, %d classifier(s), eta0 = %g, T = passes x %d\n\n', ...
          numel(trained), classifiers, eta0, size(Xtrain, 2));
  fprintf('%7s  %8s  %10s  %9s  %9s\n', 'passes', 'lambda', 'validation', 'held-out', 'time (s)');
  results = struct('passes', {}, 'lambda', {}, 'validation', {}, 'accuracy', {}, ...
                   'seconds', {}, 'classes', {}, 'perClass', {});
  for s = 1:size(settings, 1)
    passes = settings(s, 1);
    lambda = settings(s, 2);
    start = tic;
    model = pellumar_train(Xtrain, ytrain, 'Lambda', lambda, 'Passes', passes, 'Eta0', eta0, ...
                           'Bias', false);
    seconds = toc(start);
    predicted = pellumar_predict(model, Xtest);
    results(s) = struct('passes', passes, 'lambda', lambda, ...
                        'validation', mean(pellumar_predict(model, Xval) == yval), ...
                        'accuracy', mean(predicted == ytest), 'seconds', seconds, ...
                        'classes', classes, 'perClass', classAccuracy(predicted, ytest, classes));
    if results(s).validation > max([results(1:s-1).validation, -Inf])
      chosenModel = model;
      chosen = s;
    end
    fprintf('%7d  %8.0e  %10.4f  %9.4f  %9.2f\n', passes, lambda, results(s).validation, ...
            results(s).accuracy, seconds);
  end

  fprintf('\nPer-class held-out accuracy\n%-12s', 'class');
  fprintf('  %5dp/%-5.0e', [[results.passes]; [results.lambda]]);
  fprintf('\n');
  perClass = vertcat(results.perClass);
  for c = 1:numel(classes)
    fprintf('%-12s', className(classes(c)));
    fprintf('  %13.3f', perClass(:, c));
    fprintf('\n');
  end
  if any(isnan(perClass(:)))
    fprintf('(NaN: no held-out image of that class)\n');
  end
  best = results(chosen);
  fprintf(['\nchosen on the validation split: %d passes, lambda = %g ' ...
           '(validation %.4f); its held-out accuracy: %.4f\n'], best.passes, best.lambda, ...
          best.validation, best.accuracy);

  if ~exist(opts.out, 'dir')
    mkdir(opts.out);
  end
  drawAccuracyVsTime(results, readPeers(opts.peers), fullfile(opts.out, 'fashion_accuracy_vs_time.png'));
  drawWeights(chosenModel, imageSize, best, fullfile(opts.out, 'fashion_weights.png'));
  if nargout > 0
    varargout{1} = results;
  end
end

function opts = readOptions(args)
  % The name-value pairs after FOLDER, checked; peers defaults to a file in out.
  opts = demo_options(args, struct('train', Inf, 'test', Inf, 'out', pwd, 'peers', ''), ...
                      'fashionDemo', @checkOption, ['a whole number of images (1 or more, Inf ' ...
                      'for all) for train and test, or a character vector for out and peers']);
  if isempty(opts.peers)
    opts.peers = fullfile(opts.out, 'fashion_peers.txt');
  end
end

function [ok, value] = checkOption(name, value)
  if any(strcmp(name, {'train', 'test'}))
    ok = isnumeric(value) && isscalar(value) && isreal(value) && value >= 1 && ...
         value == floor(value);
  else
    ok = ischar(value);
  end
end

function name = className(label)
  % Fashion-MNIST's name of a label 0..9; any other label by its number.
  names = {'T-shirt/top', 'Trouser', 'Pullover', 'Dress', 'Coat', ...
           'Sandal', 'Shirt', 'Sneaker', 'Bag', 'Ankle boot'};
  if label >= 0 && label <= 9 && label == floor(label)
    name = names{label + 1};
  else
    name = sprintf('class %g', label);
  end
end

function perClass = classAccuracy(predicted, truth, classes)
  % The share of each class's held-out images classified right; NaN for a
  % class without one (the mean of an empty selection is NaN in MATLAB but
  % 1x0 in Octave 7, hence the count).
  perClass = NaN(1, numel(classes));
  for c = 1:numel(classes)
    mine = truth == classes(c);
    if any(mine)
      perClass(c) = sum(predicted(mine) == classes(c)) / sum(mine);
    end
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

function [X, labels, imageSize] = loadSplit(folder, prefix, count)
  % Images as columns scaled to [0, 1] with a row of ones; labels as stored
  % (0..9); imageSize = [rows columns] of an image.
  [pixels, dims] = read_idx(dataFile(folder, [prefix '-images-idx3-ubyte']));
  [labels, labelDims] = read_idx(dataFile(folder, [prefix '-labels-idx1-ubyte']));
  if numel(dims) ~= 3 || numel(labelDims) ~= 1 || dims(1) ~= labelDims(1)
    error('fashionDemo:shape', '%s: %s images but %s labels', prefix, mat2str(dims), ...
          mat2str(labelDims));
  end
  n = min(count, dims(1));
  X = [reshape(pixels(1:n * dims(2) * dims(3)), dims(2) * dims(3), n) / 255; ones(1, n)];
  labels = labels(1:n)';
  imageSize = dims(2:3);
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
  ours = struct('name', 'Pellumar', 'seconds', [results.seconds], 'accuracy', [results.accuracy], ...
                'labels', {pointLabels([results.passes], [results.lambda])});
  draw_accuracy_vs_time([ours, peers], 'Fashion-MNIST, one-vs-rest linear classifiers', picture);
  fprintf('held-out accuracy against training time: %s\n', picture);
end

function drawWeights(model, imageSize, setting, picture)
  % Each classifier's weights as an image, white at zero, blue negative, red
  % positive, scaled to that classifier's largest magnitude: one per class,
  % or for two classes the one that tells the second from the first.
  W = model.W(1:end-1, :);  % the bias weight is not a pixel
  count = size(W, 2);
  columns = min(count, 5);
  rows = ceil(count / columns);
  fig = example_figure(max(188 * columns, 376), max(225 * rows, 300));  % room for titles
  colormap(divergingPalette(255));
  for c = 1:count
    subplot(rows, columns, c);
    weights = reshape(W(:, c), imageSize(2), imageSize(1))';  % pixels are stored row by row
    limit = max([abs(weights(:)); eps]);
    imagesc(weights, [-limit limit]);
    axis image off;
    if count == 1
      title(sprintf('%s against %s', className(model.Classes(2)), className(model.Classes(1))));
    else
      title(className(model.Classes(c)));
    end
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
