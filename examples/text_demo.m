function varargout = text_demo(folder, varargin)
%TEXT_DEMO Pellumar on text: documents classified by their words.
%   TEXT_DEMO(FOLDER) reads documents as sparse feature vectors from FOLDER:
%       train.libsvm   the training documents, in the LIBSVM text format
%       test.libsvm    the held-out documents, in the same format
%       sections.txt   (optional) the name of each class, one a line: the
%                      name of label K on line K
%       features.txt   (optional) the number of features; without it, the
%                      larger of the two files' highest indices
%   pellumar_read_libsvm reads both files into sparse matrices with as many
%   rows, one document per column. pellumar_search chooses Lambda, Eta0 and
%   Passes on the training documents by 3-fold cross-validation (a grid of
%   Lambda [1e-6 1e-5 1e-4], Eta0 [16 32 64], Passes [5 20]), and
%   pellumar_train trains one-vs-rest classifiers on them all with the
%   chosen Lambda and Eta0 for each Passes of the grid, three times on one
%   seed (the same model each time), keeping the best time. The demo prints
%   the search's table, each Passes' held-out accuracy and time, and the
%   chosen model's held-out accuracy per class (section name, held-out
%   documents, accuracy; NaN for a class without one), and draws
%       text_accuracy_vs_time.png   held-out accuracy against training time:
%                                   Pellumar's trainings, and the peers' at
%                                   the same Lambda and Eta0 (or all the
%                                   peers' settings when none matches) when
%                                   their file is there
%   Pellumar trains with its default threads, one per core Octave or MATLAB
%   may use; "make demo-text" runs Octave and the peers on one core, so
%   that the picture compares like with like.
%   TEXT_DEMO() reads build/text of the Pellumar source tree that holds this
%   file, where "make demo-text" writes Debian's package descriptions
%   labelled by section (scripts/make_text_data.py).
%
%   Options, as name-value pairs after FOLDER:
%     'out', DIR      write the picture into DIR (default: the current folder)
%     'peers', F      the peers' results ("method passes lambda eta0 accuracy
%                     seconds" lines; default DIR/text_peers.txt)
%     'lambda', L     the Lambda values to try  (default [1e-6 1e-5 1e-4])
%     'eta0', E       the Eta0 values to try    (default [16 32 64])
%     'passes', P     the Passes values to try  (default [5 20])
%     'folds', K      cross-validation folds, a whole number >= 2 (default 3)
%
%   RESULTS = TEXT_DEMO(...) also returns a struct with fields search
%   (pellumar_search's result), lambda, eta0, passes (the chosen setting),
%   accuracy (the held-out accuracy of its model), seconds (its best
%   training time of three), runs (one element per Passes: passes,
%   accuracy, seconds),
%   classes, names, heldOut (held-out documents per class) and perClass.
%
%   Your own documents. The demo needs two files in the LIBSVM format, one
%   line per document, "label index:value index:value ...", indices from 1
%   and ascending, with features that mean the same in both files:
%   * scikit-learn (Python): fit a vectorizer on the training texts, and
%     write both parts with the same vocabulary:
%         v = TfidfVectorizer(ngram_range=(1, 2), min_df=2, sublinear_tf=True)
%         Xtrain = v.fit_transform(train_texts); Xtest = v.transform(test_texts)
%         dump_svmlight_file(Xtrain, ytrain, 'train.libsvm', zero_based=False)
%         dump_svmlight_file(Xtest, ytest, 'test.libsvm', zero_based=False)
%     and write Xtrain.shape[1] into features.txt.
%   * MATLAB with the Text Analytics Toolbox: a bag of words (bagOfWords or,
%     for word pairs too, bagOfNgrams of tokenizedDocument(texts)) and
%     tfidf(bag) give a sparse matrix with one document per ROW: its
%     transpose is a pellumar_train X (sparse, documents as columns), so
%     the files are not needed; pass the test documents through the same bag
%     (tfidf(bag, testDocuments)). Scale each document to length 1, as
%     TfidfVectorizer does, for the Eta0 values above to suit. To write the
%     files, see help pellumar_read_libsvm.
%   * Public collections in this format (rcv1, news20, real-sim, webspam,
%     url, ...) are on the "LIBSVM Data: Classification" pages,
%     www.csie.ntu.edu.tw/~cjlin/libsvmtools/datasets/: unpack a training
%     and a test file into FOLDER as train.libsvm and test.libsvm. Their
%     features are scaled otherwise than here: widen the grid ('eta0',
%     [0.5 4 32], say).
%
%   Errors (identifier: cause)
%     textDemo:options    the options are not name-value pairs
%     textDemo:option     an option name that is not one of the above
%     textDemo:badOption  an option value of the wrong kind
%     textDemo:noData     train.libsvm or test.libsvm is not in FOLDER
%     textDemo:badFile    sections.txt or features.txt cannot be read
%   and those of pellumar_read_libsvm (a malformed file), pellumar_search
%   (a class with fewer documents than folds) and pellumar_train.
%
%   Needs Pellumar, pellumar_read_libsvm, pellumar_search, pellumar_train and
%   pellumar_predict on the path; runs in MATLAB R2018a or later and GNU
%   Octave 6.1 or later.

  here = fileparts(mfilename('fullpath'));
  if nargin < 1 || isempty(folder)
    folder = fullfile(here, '..', 'build', 'text');
  end
  if ~ischar(folder)
    error('textDemo:badOption', 'the folder must be a character vector');
  end
  opts = readOptions(varargin);
  trainFile = fullfile(folder, 'train.libsvm');
  testFile = fullfile(folder, 'test.libsvm');
  if exist(trainFile, 'file') ~= 2 || exist(testFile, 'file') ~= 2
    error('textDemo:noData', ...
          ['train.libsvm and test.libsvm not found in %s. In the Pellumar source tree, ' ...
           '"make demo-text" makes them from Debian''s package descriptions; for your own ' ...
           'documents or a public collection, see help text_demo.'], folder);
  end

  start = tic;
  features = readFeatureCount(fullfile(folder, 'features.txt'));
  [ytrain, Xtrain] = pellumar_read_libsvm(trainFile, features);
  [ytest, Xtest] = pellumar_read_libsvm(testFile, features);
  if isempty(features)
    % Without a count, the taller of the two: rows of zeros below the other.
    features = max(size(Xtrain, 1), size(Xtest, 1));
    Xtrain = [Xtrain; sparse(features - size(Xtrain, 1), size(Xtrain, 2))];
    Xtest = [Xtest; sparse(features - size(Xtest, 1), size(Xtest, 2))];
  end
  classes = unique([ytrain, ytest]);
  names = classNames(fullfile(folder, 'sections.txt'), classes);
  fprintf(['Text: %d training and %d held-out documents, %d features, %.1f non-zeros per ' ...
           'document, %d classes (read in %.1f s)\n\n'], size(Xtrain, 2), size(Xtest, 2), ...
          features, nnz(Xtrain) / max(size(Xtrain, 2), 1), numel(classes), toc(start));

  % The search: every setting's mean accuracy over the folds of the
  % training documents.
  search = pellumar_search(Xtrain, ytrain, 'Lambda', opts.lambda, 'Eta0', opts.eta0, ...
                           'Passes', opts.passes, 'Folds', opts.folds, 'Verbose', false);
  % In the order lambda, eta0, passes, for reading.
  settings = search.Settings;
  [~, order] = sortrows([[settings.Lambda]', [settings.Eta0]', [settings.Passes]']);
  settings = settings(order);
  fprintf('%d-fold cross-validation on the training documents (%.1f s)\n', opts.folds, ...
          sum([settings.Seconds]));
  fprintf('%8s  %6s  %6s  %10s  %7s\n', 'lambda', 'eta0', 'passes', 'accuracy', 'std');
  for s = 1:numel(settings)
    fprintf('%8.0e  %6g  %6g  %10.4f  %7.4f\n', settings(s).Lambda, settings(s).Eta0, ...
            settings(s).Passes, settings(s).Accuracy, settings(s).AccuracyStd);
  end
  best = search.Best;
  fprintf('chosen: lambda = %g, eta0 = %g, %g passes (accuracy %.4f)\n\n', best.Lambda, ...
          best.Eta0, best.Passes, best.Accuracy);

  % The chosen Lambda and Eta0 on all the training documents, at each Passes
  % of the grid; the chosen Passes' model is the demo's answer. Each is
  % trained three times on the seed of its first training (the same model
  % each time) and the best time kept, as the peers' fits are timed.
  fprintf('On all the training documents, lambda = %g, eta0 = %g\n%6s  %9s  %9s\n', ...
          best.Lambda, best.Eta0, 'passes', 'held-out', 'time (s)');
  runs = struct('passes', {}, 'accuracy', {}, 'seconds', {});
  for passes = sort(opts.passes(:)')
    seconds = Inf;
    seed = [];
    for repeat = 1:3
      start = tic;
      model = pellumar_train(Xtrain, ytrain, 'Lambda', best.Lambda, 'Eta0', best.Eta0, ...
                             'Passes', passes, 'Seed', seed);
      seconds = min(seconds, toc(start));
      seed = model.Seed;
    end
    predicted = pellumar_predict(model, Xtest);
    runs(end + 1) = struct('passes', passes, 'accuracy', mean(predicted == ytest), ...
                           'seconds', seconds);  %#ok<AGROW>
    fprintf('%6g  %9.4f  %9.3f\n', passes, runs(end).accuracy, seconds);
    if passes == best.Passes
      chosen = runs(end);
      chosenPredicted = predicted;
    end
  end
  fprintf('held-out accuracy of the chosen setting (%g passes): %.4f\n\n', best.Passes, ...
          chosen.accuracy);

  heldOut = arrayfun(@(c) sum(ytest == c), classes);
  perClass = NaN(1, numel(classes));
  for c = 1:numel(classes)
    if heldOut(c) > 0
      perClass(c) = sum(chosenPredicted(ytest == classes(c)) == classes(c)) / heldOut(c);
    end
  end
  fprintf('Per-class held-out accuracy\n%-20s  %8s  %8s\n', 'class', 'held-out', 'accuracy');
  for c = 1:numel(classes)
    fprintf('%-20s  %8d  %8.3f\n', names{c}, heldOut(c), perClass(c));
  end
  if any(heldOut == 0)
    fprintf('(NaN: no held-out document of that class)\n');
  end

  if ~exist(opts.out, 'dir')
    mkdir(opts.out);
  end
  drawAccuracyVsTime(runs, best, readPeers(opts.peers, best), ...
                     fullfile(opts.out, 'text_accuracy_vs_time.png'));
  if nargout > 0
    varargout{1} = struct('search', search, 'lambda', best.Lambda, 'eta0', best.Eta0, ...
                          'passes', best.Passes, 'accuracy', chosen.accuracy, ...
                          'seconds', chosen.seconds, 'runs', runs, 'classes', classes, ...
                          'names', {names}, 'heldOut', heldOut, 'perClass', perClass);
  end
end

function opts = readOptions(args)
  % The name-value pairs after FOLDER, checked; peers defaults to a file in out.
  defaults = struct('out', pwd, 'peers', '', 'lambda', [1e-6 1e-5 1e-4], 'eta0', [16 32 64], ...
                    'passes', [5 20], 'folds', 3);
  opts = demo_options(args, defaults, 'textDemo', @checkOption, ['a character vector for out ' ...
                      'and peers, numbers for lambda, eta0 and passes, or a whole number >= 2 ' ...
                      'for folds']);
  if isempty(opts.peers)
    opts.peers = fullfile(opts.out, 'text_peers.txt');
  end
end

function [ok, value] = checkOption(name, value)
  if any(strcmp(name, {'out', 'peers'}))
    ok = ischar(value);
  else
    % The grid's values themselves are pellumar_search's to check.
    ok = isnumeric(value) && isreal(value) && ~isempty(value);
    if strcmp(name, 'folds')
      ok = ok && isscalar(value) && value >= 2 && value == floor(value);
    end
    if ok
      value = double(value);
    end
  end
end

function features = readFeatureCount(file)
  % The number in features.txt, or [] when there is no such file.
  features = [];
  if exist(file, 'file') == 2
    features = sscanf(fileread(file), '%f', 1);
    if ~(isscalar(features) && features >= 0 && features == floor(features))
      error('textDemo:badFile', '%s must hold the number of features, a whole number', file);
    end
  end
end

function names = classNames(file, classes)
  % Line K of sections.txt names label K; other labels, or all without the
  % file, are named by their number.
  lines = {};
  if exist(file, 'file') == 2
    lines = regexp(fileread(file), '[^\r\n]+', 'match');
    lines = strtrim(lines);
  end
  names = cell(1, numel(classes));
  for c = 1:numel(classes)
    k = classes(c);
    if k >= 1 && k <= numel(lines) && k == floor(k)
      names{c} = lines{k};
    else
      names{c} = sprintf('class %g', k);
    end
  end
end

function peers = readPeers(file, best)
  % The peers' points by method, from "method passes lambda eta0 accuracy
  % seconds" lines: averaged SGD at the chosen lambda and eta0 (all its
  % settings when none has them), and LinearSVC. None without the file.
  peers = struct('name', {}, 'seconds', {}, 'accuracy', {}, 'labels', {});
  if exist(file, 'file') ~= 2
    return;
  end
  fid = fopen(file, 'r');
  fields = textscan(fid, '%s %f %f %f %f %f');
  fclose(fid);
  [method, passes, lambda, eta0, accuracy, seconds] = fields{:};
  sgd = strcmp(method, 'sgd');
  same = sgd & abs(lambda - best.Lambda) <= 1e-9 * best.Lambda & eta0 == best.Eta0;
  if any(same)
    peers(end + 1) = struct('name', 'scikit-learn averaged SGD', 'seconds', seconds(same)', ...
                            'accuracy', accuracy(same)', ...
                            'labels', {pointLabels(passes(same))});
  elseif any(sgd)
    peers(end + 1) = struct('name', 'scikit-learn averaged SGD (its settings)', ...
                            'seconds', seconds(sgd)', 'accuracy', accuracy(sgd)', ...
                            'labels', {pointLabels(passes(sgd), lambda(sgd), eta0(sgd))});
  end
  svc = strcmp(method, 'linearsvc');
  if any(svc)
    peers(end + 1) = struct('name', 'scikit-learn LinearSVC', 'seconds', seconds(svc)', ...
                            'accuracy', accuracy(svc)', ...
                            'labels', {pointLabels(passes(svc), lambda(svc))});
  end
end

function labels = pointLabels(passes, lambda, eta0)
  % "5p" for a run at the chosen setting, "5p, 1e-05, 64" for another;
  % "C = 1" for a method without passes.
  labels = cell(numel(passes), 1);
  for i = 1:numel(passes)
    if passes(i) == 0
      labels{i} = sprintf('C = %g', lambda(i));
    elseif nargin < 3
      labels{i} = sprintf('%gp', passes(i));
    else
      labels{i} = sprintf('%gp, %.0e, %g', passes(i), lambda(i), eta0(i));
    end
  end
end

function drawAccuracyVsTime(runs, best, peers, picture)
  % Ours and each peer's points, labelled with their settings.
  ours = struct('name', 'Pellumar', 'seconds', [runs.seconds], 'accuracy', [runs.accuracy], ...
                'labels', {pointLabels([runs.passes])});
  draw_accuracy_vs_time([ours, peers], sprintf(['Text, one-vs-rest linear classifiers ' ...
                        '(lambda = %g, eta0 = %g)'], best.Lambda, best.Eta0), picture);
  if isempty(peers)
    fprintf('held-out accuracy against training time: %s\n', picture);
  else
    fprintf('held-out accuracy against training time, with %s: %s\n', ...
            strjoin({peers.name}, ' and '), picture);
  end
end
