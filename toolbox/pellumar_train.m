function model = pellumar_train(X, labels, varargin)
%PELLUMAR_TRAIN Train a linear classifier for two or more classes with Pellumar.
%   MODEL = PELLUMAR_TRAIN(X, LABELS) trains on the samples in the columns of X
%   with any labels, and MODEL = PELLUMAR_TRAIN(X, LABELS, NAME, VALUE, ...)
%   sets options. Two classes give one classifier; more give one per class
%   (one-vs-rest), each Pellumar's training run on a visiting order that a
%   seed gives. Classify with pellumar_predict.
%
%   Inputs
%     X       M-by-N real double, single or integer matrix, one sample per
%             column (finite), or a sparse double one. Single data are read
%             as the doubles they convert to, without a copy: the model is
%             that of double(X). Integer data (uint8 pixels, counts) train as
%             their double values, as pellumar_predict classifies them: they
%             are converted to a double copy first. Sparse data train in time
%             proportional to their non-zeros, never made dense, by a run of
%             their own order that agrees with the dense run to rounding
%             (doc/SPARSE.md), except with 'Standardize', which does not
%             centre sparse data.
%     LABELS  one label per sample: numeric, logical, a cell array of
%             character vectors, or in MATLAB categorical or string, with two
%             or more distinct values.
%
%   Options (names in any case)
%     'Lambda'       regularisation weight, >= 0.                 Default 1e-4.
%     'Passes'       passes over the data: T = floor(Passes * N). Default 10.
%     'Eta0'         base step size, > 0, or 'auto': chosen from the data
%                    before training (below).                     Default 'auto'.
%     'Bias'         a constant feature 1 after the others (never stored: X
%                    is not copied), so that the classifier learns an
%                    offset; its weight is the last row of W.    Default true.
%     'Standardize'  scale every feature to zero mean and unit variance with
%                    the training data's own statistics, which the model keeps
%                    and pellumar_predict applies. Sparse data are scaled to
%                    unit variance without centring (Mean is 0), since
%                    centring would fill the matrix.             Default false.
%     'Seed'         a whole number from 0 to 2^53 - 1, of any numeric class,
%                    that sets the visiting order (pellumar_order). Default:
%                    drawn from the host's generator with randi, so that
%                    rng(s) in MATLAB, or rand('state', s) in Octave,
%                    repeats the training.
%     'Threads'      the most threads that train the classifiers at once;
%                    the weights are the same bits for any number. Fewer
%                    run where more would not be faster: no more than the
%                    classifiers, nor than the processors the session may
%                    run on, none added for less than about 0.5 ms of
%                    training each, and on sparse X, where a thread trains
%                    up to sixteen classifiers with one read of each
%                    sample, no more than ceil(K/16) for K classifiers
%                    (more would read every sample again). A value given
%                    is a limit in the same way. Default: maxNumCompThreads
%                    in MATLAB (1 on a parfor worker), nproc in Octave.
%   The defaults train well on standardised features (zero mean and unit
%   variance, or pixels scaled to [0, 1]) and on tf-idf text; for raw
%   features of unlike scales use 'Standardize', true. pellumar_search
%   chooses Lambda, Passes and Eta0 by cross-validation.
%
%   'Eta0', 'auto' chooses the step size from the data as they train (after
%   'Standardize'), by brief trainings on a subsample, the first
%   min(N, 2000) samples of the order of the seed: each candidate, a power
%   of two, trains the classifiers on the subsample for 5 passes with the
%   training's Lambda, Bias and seed, and scores the regularised objective
%   of their averaged weights there, Lambda/2*|w|^2 + the mean hinge loss,
%   summed over the classifiers. The first candidates are the power of two
%   nearest the smaller of 32/s and 1/(32*Lambda), where s is the
%   subsample's mean squared length (the bias counted as 1), and its two
%   neighbours; while the lowest objective is at the smallest or the
%   largest candidate, the next one beyond is tried (at most 20). Eta0 is
%   twice the candidate of the lowest objective: the whole training does
%   best with larger steps than such brief runs (with the defaults, on the
%   text and Fashion-MNIST examples, its own objective was lowest at twice;
%   doc/PERFORMANCE.md). model.Eta0 records the value, and 'Seed',
%   model.Seed repeats the choice and the model, bit for bit, on any host.
%   Cost: usually 3 or 4 brief trainings of 5 * min(N, 2000) iterations
%   each; on the text example (28,281 tf-idf documents, 10 classes) a sixth
%   of its 10-pass training's time, on Fashion-MNIST's 60,000 images 3-4%;
%   below about 3,500 samples more than the training itself (milliseconds
%   there). An explicit Eta0 trains as given, as it did before 'auto'.
%
%   Output: MODEL, a struct with fields
%     W            (M + Bias)-by-K weights: the features' rows, then the bias
%                  weight; one column per classifier (K = 1 for two classes,
%                  where a positive score means the second class).
%     Classes      the sorted distinct labels, a column of the labels' class.
%     Bias, Standardize, Lambda, Passes, Eta0   the settings used ('auto'
%                  gives the Eta0 it chose).
%     Iterations   T, the iterations of each classifier.
%     Mean, Scale  the features' means and standard deviations, or []
%                  without 'Standardize'. A feature constant to within
%                  rounding (its range at most 16 units in the last place of
%                  its magnitude, as for 0.1 in every sample) has its value
%                  as Mean and 1 as Scale, and trains as a row of zeros, so
%                  that its weight is 0.
%     LabelsAsColumn  true when the labels were a column, so that
%                  pellumar_predict gives a column too.
%     Seed         the seed the training used, a uint64, so that it shows
%                  every digit (a double of 15 or 16 digits shows rounded,
%                  in e-notation).
%
%   Every classifier of one call visits the samples in the one order of
%   model.Seed: the sample at iteration t is X(:, order(mod(t, N) + 1)) with
%   order = pellumar_order(N, model.Seed). Training again with 'Seed',
%   model.Seed gives the same bits on any host, build and processor. (The
%   module Pellumar itself draws its order from the clock.)
%
%   Errors (identifier: cause)
%     pellumar:nargin          fewer than two inputs
%     pellumar:badData         X is not a real double, single or integer
%                              matrix, or a real sparse double one (logical
%                              X too, as in pellumar_predict)
%     pellumar:nonFinite       X holds NaN or Inf (the message names the first
%                              sample and feature holding one)
%     pellumar:badLabels       labels of another class, or NaN (in MATLAB:
%                              undefined or missing)
%     pellumar:samplesAsRows   as many labels as X has rows, not columns:
%                              samples are columns, pass X.'
%     pellumar:labelCount      the number of labels is not the number of samples
%     pellumar:noSamples       X has no columns (and there are no labels)
%     pellumar:noFeatures      X has no rows: samples are columns, features
%                              rows; a model of the bias alone is refused
%     pellumar:oneClass        fewer than two distinct labels
%     pellumar:unknownOption   an option name that is not one of the above,
%                              with or without a value after it
%     pellumar:badOption       an option value that is not a finite number in
%                              range (or true/false, or 'auto' for Eta0),
%                              an option name without
%                              a value after it (the message names it), or
%                              options not in pairs
%     pellumar:noIterations    Passes * N < 1: T would be 0, an untrained model
%     pellumar:tooManyIterations  Passes * N is 2^31 or more
%     pellumar:diverged        the weights overflowed: Eta0 * Lambda so large
%                              that the steps grow them (use smaller values)
%     pellumar:tooLarge        more than 2^31 - 1 features (the bias counted
%                              as one) or samples
%     pellumar:outOfMemory     not enough memory for the training's weights
%     pellumar:internal        an unexpected failure inside the engine
%   The last two name the training that failed: its class (the class's
%   position in model.Classes), its samples, Lambda, Eta0 and seed.
%
%   Example
%     labels = randi(3, 1, 300);
%     centres = [3 0; -2 3; -2 -3]';
%     X = centres(:, labels) + randn(2, 300);
%     model = pellumar_train(X, labels, 'Lambda', 1e-3);
%     accuracy = mean(pellumar_predict(model, X) == labels)
%
%   See also pellumar_predict, pellumar_search, pellumar_order, Pellumar.

  if nargin < 2
    error('pellumar:nargin', 'pellumar_train: needs X and the labels (help pellumar_train)');
  end
  [classes, index, X] = check_training_data('pellumar_train', X, labels);
  defaults = struct('Lambda', 1e-4, 'Passes', 10, 'Eta0', 'auto', 'Bias', true, 'Standardize', false, ...
                    'Seed', [], 'Threads', []);
  opts = parse_options('pellumar_train', defaults, varargin);
  check_number('pellumar_train', 'Lambda', opts.Lambda, true, 0, false);
  check_number('pellumar_train', 'Passes', opts.Passes, true, 0, true);
  eta0 = check_eta0('pellumar_train', opts.Eta0, true);
  opts.Bias = check_switch('pellumar_train', 'Bias', opts.Bias);
  opts.Standardize = check_switch('pellumar_train', 'Standardize', opts.Standardize);
  opts = check_seed_threads('pellumar_train', opts);

  samples = size(X, 2);
  T = floor(double(opts.Passes) * samples);
  if T >= 2^31
    error('pellumar:tooManyIterations', ['pellumar_train: Passes %g over %d samples make %g ' ...
          'iterations; at most 2^31 - 1 are supported'], double(opts.Passes), samples, T);
  end
  if T < 1
    error('pellumar:noIterations', ...
          ['pellumar_train: Passes %g over %d samples make no iteration (T = floor(Passes * N) ' ...
           'must be at least 1), which would give an untrained model'], double(opts.Passes), samples);
  end
  centre = [];
  scale = [];
  if opts.Standardize
    % Standardised data are a new matrix anyway: made in double, so that a
    % single X is standardised as double(X) is. Features constant to within
    % rounding train on exact zeros: their weights stay 0, whatever values
    % new data have in them. Sparse data are scaled, not centred.
    X = double(X);
    [centre, scale, constant] = feature_statistics(X);
    X = standardize_data(X, centre, scale, constant);
  end
  % Two classes: one classifier, +1 for the second class. More: one per
  % class against the rest. They all visit the order of the one seed; the
  % engine adds the bias feature without a copy of X and trains the
  % classifiers on its threads, each one sequential run, so that the threads
  % change no bit.
  if numel(classes) == 2
    positive = 2;
  else
    positive = 1:numel(classes);
  end
  seed = opts.Seed;
  if isempty(seed)
    seed = draw_seed();
  end
  % 'auto' (NaN here): the step size from brief trainings on a subsample of
  % the data as they train, standardised if asked, in the order of the seed
  % (choose_eta0 has the procedure).
  threads = default_threads(opts.Threads);
  % Sparse data with many features that no sample holds (hashed features, a
  % vocabulary larger than the documents): trained on the features held,
  % the same bits, without the fixed costs of the others, where that pays
  % for the copy (held_features).
  features = size(X, 1);
  [X, held] = held_features(X, [], numel(positive));
  if isnan(eta0)
    eta0 = choose_eta0(X, index, positive, [], double(opts.Lambda), opts.Bias, seed, threads);
  end
  W = pellumar_engine(X, index, positive, [], [0; double(opts.Lambda); eta0; seed], ...
                      T, opts.Bias, threads);
  if ~isempty(held)
    W = put_back_rows(W, held, features, opts.Bias);
  end
  % Steps with Eta0 * Lambda / sqrt(t) above 2 make the weights grow in
  % magnitude each iteration, until they overflow: a model of NaN and Inf
  % would classify every sample as one class without a word.
  if ~all(isfinite(W(:)))
    error('pellumar:diverged', ['pellumar_train: the weights overflowed (Lambda %g with Eta0 %g ' ...
          'makes steps that grow them): use a smaller Lambda or Eta0'], double(opts.Lambda), eta0);
  end

  % Braces keep a cell array of classes one field, not a struct array. The
  % seed as a uint64 (exact: below 2^53), which the hosts show with every
  % digit, so that it can be copied by hand; 'Seed' takes it as it is.
  model = struct('W', W, 'Classes', {classes}, 'Bias', opts.Bias, ...
                 'Standardize', opts.Standardize, 'Lambda', double(opts.Lambda), ...
                 'Passes', double(opts.Passes), 'Eta0', eta0, 'Iterations', T, ...
                 'Mean', centre, 'Scale', scale, 'Seed', uint64(seed), 'LabelsAsColumn', iscolumn(labels));
end
