function varargout = fashion_mnist_demo(folder, varargin)
%FASHION_MNIST_DEMO Pellumar on Fashion-MNIST: ten one-vs-rest classifiers.
%   FASHION_MNIST_DEMO() reads the Fashion-MNIST data set (70,000 grayscale
%   28x28 images of clothing in 10 classes: 60,000 for training, 10,000 held
%   out) from /usr/share/datasets/fashion-mnist, where Debian's package
%   dataset-fashion-mnist puts it, and trains ten one-vs-rest classifiers with
%   Pellumar for each setting of examples/fashion_settings.txt (passes over
%   the data, lambda; eta0 = 1). Pixels are scaled to [0, 1] and a row of ones
%   is appended as the bias. It prints held-out accuracy, the time to train
%   all ten classifiers and the per-class accuracy of each setting, and draws
%       fashion_accuracy_vs_time.png  held-out accuracy against training time,
%                                     one point per setting, with the peers'
%                                     points when their results file is there
%       fashion_weights.png           the ten weight vectors of the most
%                                     accurate setting as 28x28 images
%   with gnuplot, into the project's build/ folder.
%
%   FASHION_MNIST_DEMO(FOLDER) reads the four files (train-images-idx3-ubyte,
%   train-labels-idx1-ubyte, t10k-images-idx3-ubyte, t10k-labels-idx1-ubyte,
%   each plain or .gz) from FOLDER instead.
%
%   Options, as name-value pairs after FOLDER ('' for the default folder):
%     'train', N   train on the first N training images only
%     'test', N    evaluate on the first N held-out images only
%     'out', DIR   write the pictures (and their data) into DIR
%     'peers', F   the peers' results file (default DIR/fashion_peers.txt,
%                  as bench/fashion_peers.py writes it)
%
%   RESULTS = FASHION_MNIST_DEMO(...) also returns one element per setting,
%   with fields passes, lambda, accuracy, seconds and perClass.
%
%   Runs in MATLAB and GNU Octave alike; make demo-fashion does everything.

  here = fileparts(mfilename('fullpath'));
  if nargin < 1 || isempty(folder)
    folder = '/usr/share/datasets/fashion-mnist';
  end
  opts = struct('train', Inf, 'test', Inf, 'out', fullfile(fileparts(here), 'build'), 'peers', '');
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
  [Xtrain, ytrain] = loadSplit(folder, 'train', opts.train);
  [Xtest, ytest] = loadSplit(folder, 't10k', opts.test);
  settings = readSettings(fullfile(here, 'fashion_settings.txt'));
  eta0 = 1;

  fprintf('Fashion-MNIST: %d training, %d held-out images, %d pixels (+ bias)\n', ...
          size(Xtrain, 2), size(Xtest, 2), size(Xtrain, 1) - 1);
  fprintf('ten one-vs-rest classifiers, eta0 = %g, T = passes x %d\n\n', eta0, size(Xtrain, 2));
  fprintf('%7s  %8s  %9s  %9s\n', 'passes', 'lambda', 'accuracy', 'time (s)');
  results = struct('passes', {}, 'lambda', {}, 'accuracy', {}, 'seconds', {}, 'perClass', {});
  bestWeights = [];
  for s = 1:size(settings, 1)
    passes = settings(s, 1);
    lambda = settings(s, 2);
    [W, seconds] = trainOneVsRest(Xtrain, ytrain, lambda, passes * size(Xtrain, 2), eta0);
    [~, predicted] = max(W' * Xtest, [], 1);
    predicted = predicted - 1;
    perClass = arrayfun(@(c) mean(predicted(ytest == c) == c), 0:9);
    accuracy = mean(predicted == ytest);
    results(s) = struct('passes', passes, 'lambda', lambda, 'accuracy', accuracy, ...
                        'seconds', seconds, 'perClass', perClass);
    if accuracy >= max([results.accuracy])
      bestWeights = W;
      best = s;
    end
    fprintf('%7d  %8.0e  %9.4f  %9.2f\n', passes, lambda, accuracy, seconds);
  end

  fprintf('\nPer-class held-out accuracy\n%-12s', 'class');
  fprintf('  %5dp/%-5.0e', [[results.passes]; [results.lambda]]);
  fprintf('\n');
  for c = 1:10
    fprintf('%-12s', classes{c});
    fprintf('  %13.3f', arrayfun(@(r) r.perClass(c), results));
    fprintf('\n');
  end
  fprintf('\nmost accurate: %d passes, lambda = %g, %.4f\n', results(best).passes, ...
          results(best).lambda, results(best).accuracy);

  if ~exist(opts.out, 'dir')
    mkdir(opts.out);
  end
  drawAccuracyVsTime(results, opts.peers, opts.out);
  drawWeights(bestWeights(1:end-1, :), classes, results(best), opts.out);
  if nargout > 0
    varargout{1} = results;
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
  % The plain file where there is one, else the package's .gz.
  path = fullfile(folder, name);
  if exist(path, 'file') ~= 2
    path = [path '.gz'];
  end
end

function settings = readSettings(path)
  % Rows of [passes, lambda]; lines starting with # are comments.
  text = fileread(path);
  lines = regexp(text, '[^\n]+', 'match');
  settings = zeros(0, 2);
  for i = 1:numel(lines)
    line = strtrim(lines{i});
    if ~isempty(line) && line(1) ~= '#'
      settings(end + 1, :) = sscanf(line, '%f', 2)';  %#ok<AGROW>
    end
  end
end

function [W, seconds] = trainOneVsRest(X, labels, lambda, T, eta0)
  % Column c+1 of W separates class c from the rest; the time is that of the
  % ten training calls alone.
  W = zeros(size(X, 1), 10);
  y = zeros(10, numel(labels));
  for c = 0:9
    y(c + 1, :) = 2 * (labels == c) - 1;
  end
  start = tic;
  for c = 1:10
    W(:, c) = Pellumar(X, y(c, :), lambda, T, eta0);
  end
  seconds = toc(start);
end

function drawAccuracyVsTime(results, peersFile, out)
  % Ours, and each peer method's points from its results file ("method
  % passes lambda accuracy seconds" lines).
  ours = fullfile(out, 'fashion_ours.dat');
  writePoints(ours, [results.seconds], [results.accuracy], [results.passes], [results.lambda]);
  plots = {sprintf(['"%s" using 1:2 with points pt 7 ps 1.8 lc rgb "#1f5fbf" title "Pellumar", ' ...
                    '"" using 1:2:3 with labels left offset 1,0 font ",9" notitle'], ours)};
  peerNames = {'sgd', 'scikit-learn averaged SGD', '#e67e22', 5; ...
               'linearsvc', 'scikit-learn LinearSVC (C = 1)', '#c0392b', 9};
  if exist(peersFile, 'file') == 2
    fid = fopen(peersFile, 'r');
    peers = textscan(fid, '%s %f %f %f %f');
    fclose(fid);
    for p = 1:size(peerNames, 1)
      rows = strcmp(peers{1}, peerNames{p, 1});
      if any(rows)
        file = fullfile(out, ['fashion_' peerNames{p, 1} '.dat']);
        writePoints(file, peers{5}(rows), peers{4}(rows), peers{2}(rows), peers{3}(rows));
        plots{end + 1} = sprintf(['"%s" using 1:2 with points pt %d ps 1.8 lc rgb "%s" ' ...
                                  'title "%s", "" using 1:2:3 with labels left offset 1,0 ' ...
                                  'font ",9" notitle'], file, peerNames{p, 4}, ...
                                 peerNames{p, 3}, peerNames{p, 2});  %#ok<AGROW>
      end
    end
  end
  png = fullfile(out, 'fashion_accuracy_vs_time.png');
  script = sprintf(['set terminal pngcairo size 900,560 font "DejaVu Sans,11"; set output "%s"; ' ...
                    'set logscale x; set grid; set key bottom right box opaque; ' ...
                    'set xlabel "time to train all ten classifiers (s, log scale)"; ' ...
                    'set ylabel "held-out accuracy"; set offsets graph 0.08, graph 0.08, graph 0.1, graph 0.1; ' ...
                    'set title "Fashion-MNIST, ten one-vs-rest linear classifiers"; plot %s'], ...
                   png, strjoin(plots, ', '));
  gnuplot(script, png, 'held-out accuracy against training time');
end

function writePoints(file, seconds, accuracy, passes, lambda)
  % "seconds accuracy label" lines for gnuplot; a pass count of 0 marks a
  % method without passes (LinearSVC runs to convergence).
  fid = fopen(file, 'w');
  for i = 1:numel(seconds)
    if passes(i) > 0
      label = sprintf('%dp, %.0e', passes(i), lambda(i));
    else
      label = sprintf('C = %g', lambda(i));
    end
    fprintf(fid, '%.6g %.6g "%s"\n', seconds(i), accuracy(i), label);
  end
  fclose(fid);
end

function drawWeights(W, classes, setting, out)
  % Each class's weights as a 28x28 image, white at zero, blue negative, red
  % positive, scaled to that class's largest magnitude.
  parts = cell(1, 10);
  for c = 1:10
    image = reshape(W(:, c), 28, 28)';  % pixels are stored row by row
    file = fullfile(out, sprintf('fashion_weights_%d.dat', c - 1));
    dlmwrite(file, image, ' ');
    limit = max(abs(image(:)));
    if limit == 0
      limit = 1;
    end
    parts{c} = sprintf(['set title "%s"; set cbrange [%g:%g]; ' ...
                        'plot "%s" matrix with image notitle'], ...
                       classes{c}, -limit, limit, file);
  end
  png = fullfile(out, 'fashion_weights.png');
  script = sprintf(['set terminal pngcairo size 1250,600 font "DejaVu Sans,11"; set output "%s"; ' ...
                    'set palette defined (-1 "#2166ac", 0 "white", 1 "#b2182b"); ' ...
                    'unset xtics; unset ytics; unset colorbox; set size ratio -1; ' ...
                    'set xrange [-0.5:27.5]; set yrange [27.5:-0.5]; ' ...
                    'set multiplot layout 2,5 title "Learned weights (%d passes, lambda = %g): ' ...
                    'red favours the class, blue counts against it"; %s; unset multiplot'], ...
                   png, setting.passes, setting.lambda, strjoin(parts, '; '));
  gnuplot(script, png, 'weights');
end

function gnuplot(script, png, what)
  % Runs gnuplot on a script file (the commands are too long for one line).
  file = [png(1:end-4) '.gp'];
  fid = fopen(file, 'w');
  fprintf(fid, '%s\n', strrep(script, '; ', sprintf('\n')));
  fclose(fid);
  [status, output] = system(sprintf('gnuplot "%s" 2>&1', file));
  if status == 0
    fprintf('%s: %s\n', what, png);
  else
    fprintf('no picture of %s (gnuplot: %s)\n', what, strtrim(output));
  end
end
