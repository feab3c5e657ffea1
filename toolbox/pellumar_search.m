function result = pellumar_search(X, labels, varargin)
%PELLUMAR_SEARCH Choose Lambda, Passes and Eta0 by stratified cross-validation.
%   RESULT = PELLUMAR_SEARCH(X, LABELS) tries every setting of a grid of
%   Lambda, Passes and Eta0 on k folds of the data, and trains the best
%   setting on all of it. RESULT = PELLUMAR_SEARCH(X, LABELS, NAME, VALUE, ...)
%   sets options. Inputs are as for pellumar_train.
%
%   Options (names in any case)
%     'Lambda'       regularisation weights to try.   Default [1e-6 1e-5 1e-4 1e-3 1e-2 1e-1].
%     'Passes'       passes over the data to try.     Default [5 20].
%     'Eta0'         base step sizes to try.          Default 0.5.
%     'Bias', 'Standardize'   passed to pellumar_train. Default true, false.
%     'Folds'        k, the number of folds, >= 2.    Default 5.
%     'Verbose'      print a line as each setting finishes (its accuracy, time
%                    and how many settings are left).  Default true.
%     'Parallel'     train the folds of each setting in a parfor. Default false.
%
%   Stratified folds: every fold keeps the classes' proportions (each class
%   needs at least k samples). The folds are drawn with randperm, so the
%   host's random state (rng in MATLAB, rand('state') in Octave) repeats
%   them; each training still draws its own visiting order from the clock, as
%   Pellumar does, so accuracies move slightly from run to run. Every fold's
%   model is trained on the other folds alone, its standardisation included,
%   so nothing of the fold it is tested on leaks into it.
%
%   'Parallel', true runs the folds in a parfor on the pool of MATLAB's
%   Parallel Computing Toolbox (opened as its preferences say), or on a MATLAB
%   Parallel Server cluster; the workers need Pellumar and these functions on
%   their path. Without the toolbox, and in Octave, the same loop runs in
%   order.
%
%   Output: RESULT, a struct with fields
%     Settings  one element per setting, with fields Lambda, Passes, Eta0,
%               Accuracy (mean over the folds), AccuracyStd (their standard
%               deviation) and Seconds (the setting's cross-validation).
%     Best      the element of Settings with the highest Accuracy; on ties the
%               larger Lambda, then the fewer Passes, then the first in order.
%     Model     pellumar_train on all the data with the Best setting.
%     Folds     1-by-N, the fold of each sample.
%
%   Errors (identifier: cause): those of pellumar_train, and
%     pellumar:tooFewSamples   a class has fewer samples than there are folds
%
%   Example
%     X = [randn(2, 100) + 1.5, randn(2, 100) - 1.5];
%     labels = [ones(1, 100), zeros(1, 100)];
%     result = pellumar_search(X, labels, 'Lambda', [1e-4 1e-2], 'Passes', 5, 'Folds', 4);
%     result.Best
%
%   See also pellumar_train, pellumar_predict, Pellumar, parfor.

  if nargin < 2
    error('pellumar:nargin', 'pellumar_search: needs X and the labels (help pellumar_search)');
  end
  [classes, index] = check_training_data('pellumar_search', X, labels);
  defaults = struct('Lambda', [1e-6 1e-5 1e-4 1e-3 1e-2 1e-1], 'Passes', [5 20], 'Eta0', 0.5, ...
                    'Bias', true, 'Standardize', false, 'Folds', 5, 'Verbose', true, ...
                    'Parallel', false);
  opts = parse_options('pellumar_search', defaults, varargin);
  check_number('pellumar_search', 'Lambda', opts.Lambda, false, 0, false);
  check_number('pellumar_search', 'Passes', opts.Passes, false, 0, true);
  check_number('pellumar_search', 'Eta0', opts.Eta0, false, 0, true);
  check_number('pellumar_search', 'Folds', opts.Folds, true, 2, false);
  if opts.Folds ~= round(opts.Folds)
    error('pellumar:badOption', 'pellumar_search: ''Folds'' must be a whole number');
  end
  for name = {'Bias', 'Standardize', 'Verbose', 'Parallel'}
    opts.(name{1}) = check_switch('pellumar_search', name{1}, opts.(name{1}));
  end

  folds = double(opts.Folds);
  foldOf = stratifiedFolds(index, folds, classes);
  [lambda, passes, eta0] = ndgrid(double(opts.Lambda), double(opts.Passes), double(opts.Eta0));
  count = numel(lambda);
  % parfor's second argument caps the workers: 0 runs the loop in order here,
  % folds (a whole number, as documented) lets every fold have one.
  workers = 0;
  if opts.Parallel
    workers = folds;
  end
  if opts.Verbose
    fprintf('pellumar_search: %d settings x %d folds, %d samples, %d classes\n', ...
            count, folds, numel(index), numel(classes));
  end

  settings = struct('Lambda', {}, 'Passes', {}, 'Eta0', {}, 'Accuracy', {}, ...
                    'AccuracyStd', {}, 'Seconds', {});
  for s = 1:count
    setting = {'Lambda', lambda(s), 'Passes', passes(s), 'Eta0', eta0(s), ...
               'Bias', opts.Bias, 'Standardize', opts.Standardize};
    start = tic;
    accuracy = zeros(1, folds);
    % The simplest form parfor knows: the loop index f slices the output
    % accuracy; X, labels, foldOf and setting are only read, whole, so each is
    % a broadcast variable; the call and its results stay inside the body.
    parfor (f = 1:folds, workers)
      accuracy(f) = foldAccuracy(X, labels, foldOf, f, setting);
    end
    settings(s).Lambda = lambda(s);
    settings(s).Passes = passes(s);
    settings(s).Eta0 = eta0(s);
    settings(s).Accuracy = mean(accuracy);
    settings(s).AccuracyStd = std(accuracy);
    settings(s).Seconds = toc(start);
    if opts.Verbose
      fprintf('  lambda %-8g passes %-5g eta0 %-6g accuracy %.4f (std %.4f)  %7.2f s  %d left\n', ...
              lambda(s), passes(s), eta0(s), settings(s).Accuracy, settings(s).AccuracyStd, ...
              settings(s).Seconds, count - s);
    end
  end

  % Highest accuracy; then the larger lambda, then the fewer passes; sortrows
  % is stable, so the first in order after that.
  [~, order] = sortrows([-[settings.Accuracy]', -[settings.Lambda]', [settings.Passes]']);
  best = settings(order(1));
  model = pellumar_train(X, labels, 'Lambda', best.Lambda, 'Passes', best.Passes, ...
                         'Eta0', best.Eta0, 'Bias', opts.Bias, 'Standardize', opts.Standardize);
  result = struct('Settings', settings, 'Best', best, 'Model', model, 'Folds', foldOf);
  if opts.Verbose
    fprintf('best: lambda %g, passes %g, eta0 %g, accuracy %.4f\n', best.Lambda, best.Passes, ...
            best.Eta0, best.Accuracy);
  end
end

function foldOf = stratifiedFolds(index, folds, classes)
  % Each class's samples in a random order, dealt to the folds in turn,
  % carrying on from where the previous class stopped, so that the folds'
  % sizes differ by one at most.
  foldOf = zeros(1, numel(index));
  dealt = 0;
  for c = 1:numel(classes)
    members = find(index == c);
    if numel(members) < folds
      error('pellumar:tooFewSamples', ...
            'pellumar_search: class %s has %d samples, fewer than the %d folds', ...
            classLabel(classes, c), numel(members), folds);
    end
    members = members(randperm(numel(members)));
    foldOf(members) = mod(dealt + (0:numel(members) - 1), folds) + 1;
    dealt = dealt + numel(members);
  end
end

function text = classLabel(classes, c)
  if iscell(classes)
    text = ['''' classes{c} ''''];
  else
    text = num2str(classes(c));
  end
end

function accuracy = foldAccuracy(X, labels, foldOf, f, setting)
  % Trains on every fold but f, standardisation included, and tests on f.
  test = foldOf == f;
  model = pellumar_train(X(:, ~test), labels(~test), setting{:});
  predicted = pellumar_predict(model, X(:, test));
  expected = reshape(labels(test), 1, []);
  if iscell(expected)
    accuracy = mean(strcmp(predicted, expected));
  else
    accuracy = mean(predicted == expected);
  end
end
