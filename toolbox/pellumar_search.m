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
%     'Eta0'         base step sizes to try: numbers > 0, 'auto' (each
%                    training chooses its own from its fold's training
%                    part, as pellumar_train does), or a cell array of
%                    both, such as {'auto', 4, 16}.  Default 'auto'.
%     'Bias', 'Standardize'   as for pellumar_train.  Default true, false.
%     'Folds'        k, the number of folds, >= 2.    Default 5.
%     'Verbose'      print the settings' accuracies as a table and the
%                    cross-validation's time.          Default true.
%     'Parallel'     cross-validate each fold on a parfor worker. Default false.
%     'Seed'         a whole number from 0 to 2^53 - 1 (of any numeric class,
%                    as model.Seed is a uint64) from which the folds
%                    and every training's seed are made, the same on every
%                    host. Default: all drawn from the host's generator
%                    (randperm, randi), so that rng(s) in MATLAB, or
%                    rand('state', s) in Octave, repeats the search.
%     'Threads'      the most threads that run the trainings at once, used
%                    as in pellumar_train (on sparse X, one thread trains
%                    up to sixteen alike trainings with one read of each
%                    sample); no result depends on it. Default: as
%                    pellumar_train.
%
%   Stratified folds: every fold keeps the classes' proportions (each class
%   needs at least k samples). Every fold's model is trained on the other
%   folds alone, its standardisation included, so nothing of the fold it is
%   tested on leaks into it. Each training visits its samples in the order
%   of a seed of its own (pellumar_order); the settings that differ only in
%   Passes are one run, read at each number of passes, so that the search
%   costs max(Passes) passes per fold and (Lambda, Eta0) pair, not their sum.
%   The trainings read the columns of X they train on where they are: no
%   copy of X is made for a fold, except a standardised one with
%   'Standardize'. A whole search repeats from the same seed or random
%   state: the same table, the same best setting, the same model, bit for bit.
%
%   The default grid, 6 Lambda x 2 Passes x Eta0 'auto', costs 6 runs of 20
%   passes per fold, each after 'auto' has chosen its Eta0 for its Lambda
%   (usually 3 or 4 trainings of 5 passes over 2,000 of the fold's training
%   samples, or all of them when fewer). On the text example (28,281
%   documents, 10 classes, 5 folds) it took 33-46 s on two shared cores,
%   4-7 s of it the choices, and its model reached 0.898-0.901 held-out
%   accuracy, where an Eta0 of 0.5 alone took 22-44 s and reached 0.858
%   (doc/PERFORMANCE.md).
%
%   'Parallel', true runs the folds in a parfor on the pool of MATLAB's
%   Parallel Computing Toolbox (opened as its preferences say), or on a MATLAB
%   Parallel Server cluster, at most one worker per fold; the workers need
%   Pellumar and these functions on their path. Without the toolbox, and in
%   Octave, the same loop runs in order. The results are the same bits either
%   way.
%
%   Output: RESULT, a struct with fields
%     Settings  one element per setting, with fields Lambda, Passes, Eta0
%               (NaN for 'auto'), FoldEta0 (1-by-k: the Eta0 each fold's
%               training used, as 'auto' chose it), Accuracy (mean over the
%               folds), AccuracyStd (their standard deviation) and Seconds
%               (its share of the cross-validation's time: the settings
%               train together).
%     Best      the element of Settings with the highest Accuracy; on ties the
%               larger Lambda, then the fewer Passes, then the first in order.
%     Model     pellumar_train on all the data with the Best setting (and a
%               seed of the search's); for 'auto', Model.Eta0 is what it
%               chose on all the data.
%     Folds     1-by-N, the fold of each sample.
%     Seconds   the cross-validation's time.
%
%   Errors (identifier: cause): those of pellumar_train, and
%     pellumar:tooFewSamples   a class has fewer samples than there are folds
%   pellumar:outOfMemory and pellumar:internal name the training that failed:
%   its class (its position among the sorted classes), the fold it left out,
%   its Lambda, Eta0 and seed.
%   A setting whose weights overflow (pellumar:diverged in pellumar_train)
%   scores accuracy 0 on its folds; its line in the table ends with
%   'diverged on F of K folds'.
%
%   Example
%     X = [randn(2, 100) + 1.5, randn(2, 100) - 1.5];
%     labels = [ones(1, 100), zeros(1, 100)];
%     result = pellumar_search(X, labels, 'Lambda', [1e-4 1e-2], 'Passes', 5, 'Folds', 4);
%     result.Best
%
%   See also pellumar_train, pellumar_predict, pellumar_order, Pellumar, parfor.

  if nargin < 2
    error('pellumar:nargin', 'pellumar_search: needs X and the labels (help pellumar_search)');
  end
  [classes, index, X] = check_training_data('pellumar_search', X, labels);
  defaults = struct('Lambda', [1e-6 1e-5 1e-4 1e-3 1e-2 1e-1], 'Passes', [5 20], 'Eta0', 'auto', ...
                    'Bias', true, 'Standardize', false, 'Folds', 5, 'Verbose', true, ...
                    'Parallel', false, 'Seed', [], 'Threads', []);
  opts = parse_options('pellumar_search', defaults, varargin);
  check_number('pellumar_search', 'Lambda', opts.Lambda, false, 0, false);
  check_number('pellumar_search', 'Passes', opts.Passes, false, 0, true);
  eta0Grid = check_eta0('pellumar_search', opts.Eta0, false);
  check_number('pellumar_search', 'Folds', opts.Folds, true, 2, false);
  if opts.Folds ~= round(opts.Folds)
    error('pellumar:badOption', 'pellumar_search: ''Folds'' must be a whole number');
  end
  for name = {'Bias', 'Standardize', 'Verbose', 'Parallel'}
    opts.(name{1}) = check_switch('pellumar_search', name{1}, opts.(name{1}));
  end
  opts = check_seed_threads('pellumar_search', opts);

  for name = {'Lambda', 'Passes'}
    if ~isvector(opts.(name{1}))
      error('pellumar:badOption', 'pellumar_search: ''%s'' must be a vector of values to try', name{1});
    end
  end
  folds = double(opts.Folds);
  [lambda, passes, eta0] = ndgrid(double(opts.Lambda), double(opts.Passes), eta0Grid);
  count = numel(lambda);
  pairs = numel(opts.Lambda) * numel(eta0Grid);
  % The folds, then one seed per fold and (Lambda, Eta0) pair, then the final
  % model's: from the host's generator, or all from 'Seed'.
  [foldOf, seeds] = drawFoldsAndSeeds(index, folds, classes, pairs, opts.Seed);
  samples = numel(index);
  fewest = min(samples - accumarray(foldOf(:), 1));
  if max(double(opts.Passes)) * samples >= 2^31
    error('pellumar:tooManyIterations', ['pellumar_search: Passes %g over %d samples make more ' ...
          'than 2^31 - 1 iterations'], max(double(opts.Passes)), samples);
  end
  if floor(min(double(opts.Passes)) * fewest) < 1
    error('pellumar:noIterations', ['pellumar_search: Passes %g over the %d samples of a fold''s ' ...
          'training part make no iteration'], min(double(opts.Passes)), fewest);
  end
  % parfor's second argument caps the workers: 0 runs the loop in order here,
  % folds (a whole number, as documented) lets every fold have one.
  workers = 0;
  if opts.Parallel
    workers = folds;
  end
  if opts.Verbose
    fprintf('pellumar_search: %d settings x %d folds, %d samples, %d classes\n', ...
            count, folds, samples, numel(classes));
  end

  % Each fold's accuracy for every setting. The settings that differ only in
  % Passes are checkpoints of one run, so a fold costs one run per (Lambda,
  % Eta0) pair, of max(Passes) passes. Without standardisation every fold
  % reads the columns of X itself; with it, each fold trains and tests on X
  % standardised by its training part's statistics.
  start = tic;
  job = struct('X', X, 'index', index, 'classes', numel(classes), 'foldOf', foldOf, ...
               'seeds', seeds, 'lambda', double(opts.Lambda), 'passes', double(opts.Passes), ...
               'eta0', eta0Grid, 'bias', opts.Bias, 'standardize', opts.Standardize, ...
               'threads', opts.Threads);
  % One fold at a time, its settings a few at a time (foldAccuracies), so
  % that only those settings' weights are held at once. The simplest form
  % parfor knows: the loop index f slices the output; job is only read, whole, so
  % it is a broadcast variable. A fold's column: the settings' accuracies,
  % then the Eta0 each (Lambda, Eta0) pair trained with ('auto' chooses it).
  outcome = zeros(count + pairs, folds);
  parfor (f = 1:folds, workers)
    outcome(:, f) = foldAccuracies(job, f);
  end
  seconds = toc(start);
  accuracy = outcome(1:count, :);
  usedEta0 = outcome(count + 1:end, :);
  % NaN marks a fold whose weights overflowed: it counts as accuracy 0, and
  % the table tells it from a setting that classified nothing right.
  diverged = sum(isnan(accuracy), 2);
  accuracy(isnan(accuracy)) = 0;

  settings = struct('Lambda', {}, 'Passes', {}, 'Eta0', {}, 'FoldEta0', {}, 'Accuracy', {}, ...
                    'AccuracyStd', {}, 'Seconds', {});
  width = 6;
  for s = 1:count
    [l, ~, e] = ind2sub(size(lambda), s);
    settings(s).Lambda = lambda(s);
    settings(s).Passes = passes(s);
    settings(s).Eta0 = eta0(s);
    settings(s).FoldEta0 = usedEta0(sub2ind([numel(opts.Lambda), numel(eta0Grid)], l, e), :);
    width = max(width, numel(eta0Text(settings(s))));
  end
  for s = 1:count
    settings(s).Accuracy = mean(accuracy(s, :));
    settings(s).AccuracyStd = std(accuracy(s, :));
    settings(s).Seconds = seconds / count;
    if opts.Verbose
      note = '';
      if diverged(s) > 0
        note = sprintf('  diverged on %d of %d folds', diverged(s), folds);
      end
      fprintf('  lambda %-8g passes %-5g eta0 %-*s accuracy %.4f (std %.4f)%s\n', ...
              lambda(s), passes(s), width, eta0Text(settings(s)), settings(s).Accuracy, ...
              settings(s).AccuracyStd, note);
    end
  end

  % Highest accuracy; then the larger lambda, then the fewer passes; sortrows
  % is stable, so the first in order after that.
  if opts.Verbose && any(diverged)
    fprintf(['diverged: the weights overflowed (Lambda * Eta0 too large) and count as accuracy 0 ' ...
             'on those folds\n']);
  end
  [~, order] = sortrows([-[settings.Accuracy]', -[settings.Lambda]', [settings.Passes]']);
  best = settings(order(1));
  bestEta0 = best.Eta0;
  if isnan(bestEta0)
    bestEta0 = 'auto';
  end
  model = pellumar_train(X, labels, 'Lambda', best.Lambda, 'Passes', best.Passes, ...
                         'Eta0', bestEta0, 'Bias', opts.Bias, 'Standardize', opts.Standardize, ...
                         'Seed', seeds(end), 'Threads', opts.Threads);
  result = struct('Settings', settings, 'Best', best, 'Model', model, 'Folds', foldOf, ...
                  'Seconds', seconds);
  if opts.Verbose
    chosen = eta0Text(best);
    if isnan(best.Eta0)
      chosen = sprintf('auto (the model''s: %g)', model.Eta0);
    end
    fprintf('cross-validation %.2f s; best: lambda %g, passes %g, eta0 %s, accuracy %.4f\n', ...
            seconds, best.Lambda, best.Passes, chosen, best.Accuracy);
  end
end

function [foldOf, seeds] = drawFoldsAndSeeds(index, folds, classes, pairs, seed)
  % Each class's samples in a random order, dealt to the folds in turn,
  % carrying on from where the previous class stopped, so that the folds'
  % sizes differ by one at most. The random orders come from randperm, and
  % the seeds from randi, unless a seed is given: then class c's order is
  % pellumar_order(numel(members), seed + c), and the trainings' seeds
  % follow (seed + numel(classes) + 1, ...), the same on every host.
  foldOf = zeros(1, numel(index));
  dealt = 0;
  next = seed;
  for c = 1:numel(classes)
    members = find(index == c);
    if numel(members) < folds
      error('pellumar:tooFewSamples', ...
            'pellumar_search: class %s has %d samples, fewer than the %d folds', ...
            classLabel(classes, c), numel(members), folds);
    end
    if isempty(seed)
      members = members(randperm(numel(members)));
    else
      next = mod(next + 1, 2^53);
      members = members(pellumar_order(numel(members), next));
    end
    foldOf(members) = mod(dealt + (0:numel(members) - 1), folds) + 1;
    dealt = dealt + numel(members);
  end
  seeds = zeros(1, folds * pairs + 1);
  for k = 1:numel(seeds)
    if isempty(seed)
      seeds(k) = draw_seed();
    else
      next = mod(next + 1, 2^53);
      seeds(k) = next;
    end
  end
end

function accuracy = foldAccuracies(job, f)
  % The accuracy of every setting on fold f (a count-by-1 column), each
  % trained on the other folds alone, its standardisation included, and
  % tested on fold f.
  %
  % The (Lambda, Eta0) pairs train as many at a time as there are threads,
  % each pair one run whose checkpoints are the Passes values, so that only
  % those pairs' weights are held at once, whatever the grid. The engine
  % scores the held-out samples straight from those weights and X: nothing
  % is copied or transposed for a score.
  [lambda, eta0] = ndgrid(job.lambda, job.eta0);
  pairs = numel(lambda);
  checkpoints = sort(job.passes);
  C = numel(checkpoints);
  [~, where] = ismember(job.passes, checkpoints);
  X = job.X;
  if job.classes == 2
    positive = 2;
  else
    positive = 1:job.classes;
  end
  K = numel(positive);
  threads = default_threads(job.threads);
  test = find(job.foldOf == f);
  expected = job.index(test);
  counts = floor(checkpoints(:) * sum(job.foldOf ~= f));
  if job.standardize
    % Its statistics, then X standardised by them, for its training part and
    % its test part alike.
    [centre, scale, constant] = feature_statistics(double(X(:, job.foldOf ~= f)));
    X = standardize_data(X, centre, scale, constant);
  end
  % Sparse data: the fold's trainings and scores on the features its
  % training part holds, the same accuracies without the others' fixed
  % costs, where that pays for the copy (held_features).
  X = held_features(X, find(job.foldOf ~= f), K * numel(job.lambda) * numel(job.eta0));
  accuracy = zeros(numel(job.lambda), numel(job.passes), numel(job.eta0));
  % 'Eta0' 'auto' (NaN): chosen for each pair from the fold's training part
  % (standardised, if asked), by the pair's seed, as pellumar_train chooses
  % it from all the data.
  members = find(job.foldOf ~= f);
  for q = find(isnan(eta0(:)'))
    eta0(q) = choose_eta0(X, job.index, positive, members, lambda(q), job.bias, ...
                          job.seeds((f - 1) * pairs + q), threads);
  end
  for first = 1:threads:pairs
    chunk = first:min(pairs, first + threads - 1);
    runs = [repmat(f, 1, numel(chunk)); reshape(lambda(chunk), 1, []); ...
            reshape(eta0(chunk), 1, []); reshape(job.seeds((f - 1) * pairs + chunk), 1, [])];
    W = pellumar_engine(X, job.index, positive, job.foldOf, runs, ...
                        repmat(counts, 1, numel(chunk)), job.bias, threads);
    % W's columns: checkpoint, then classifier, then run. Weights that
    % overflowed (Eta0 * Lambda too large, as pellumar_train reports)
    % classify nothing: NaN marks them for the caller.
    finite = all(isfinite(W), 1);
    for q = 1:numel(chunk)
      [l, e] = ind2sub(size(lambda), chunk(q));
      for c = 1:numel(job.passes)
        columns = where(c) + C * ((0:K - 1) + K * (q - 1));
        chosen = classify_samples(W, columns, X, test, job.bias);
        if all(finite(columns))
          accuracy(l, c, e) = mean(chosen == expected);
        else
          accuracy(l, c, e) = NaN;
        end
      end
    end
  end
  accuracy = [accuracy(:); eta0(:)];
end

function text = eta0Text(setting)
  % A setting's Eta0 for the table: the number, or 'auto' with the values
  % the folds' trainings chose.
  if ~isnan(setting.Eta0)
    text = sprintf('%g', setting.Eta0);
  elseif min(setting.FoldEta0) == max(setting.FoldEta0)
    text = sprintf('auto (%g)', setting.FoldEta0(1));
  else
    text = sprintf('auto (%g-%g)', min(setting.FoldEta0), max(setting.FoldEta0));
  end
end

function text = classLabel(classes, c)
  if iscell(classes)
    text = ['''' classes{c} ''''];
  elseif isnumeric(classes) || islogical(classes)
    text = num2str(classes(c));
  else  % categorical or string (MATLAB)
    text = ['''' char(classes(c)) ''''];
  end
end
