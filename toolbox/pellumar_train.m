function model = pellumar_train(X, labels, varargin)
%PELLUMAR_TRAIN Train a linear classifier for two or more classes with Pellumar.
%   MODEL = PELLUMAR_TRAIN(X, LABELS) trains on the samples in the columns of X
%   with any labels, and MODEL = PELLUMAR_TRAIN(X, LABELS, NAME, VALUE, ...)
%   sets options. Two classes give one classifier; more give one per class
%   (one-vs-rest), each one call of Pellumar. Classify with pellumar_predict.
%
%   Inputs
%     X       M-by-N real double matrix, one sample per column (dense,
%             finite).
%     LABELS  one label per sample: numeric, logical, a cell array of
%             character vectors, or in MATLAB categorical or string, with two
%             or more distinct values.
%
%   Options (names in any case)
%     'Lambda'       regularisation weight, >= 0.                 Default 1e-4.
%     'Passes'       passes over the data: T = floor(Passes * N). Default 10.
%     'Eta0'         base step size, > 0.                         Default 0.5.
%     'Bias'         append a row of ones, so that the classifier learns an
%                    offset; its weight is the last row of W.    Default true.
%     'Standardize'  scale every feature to zero mean and unit variance with
%                    the training data's own statistics, which the model keeps
%                    and pellumar_predict applies.               Default false.
%   The defaults train well on standardised features (zero mean and unit
%   variance, or pixels scaled to [0, 1]); for raw features use
%   'Standardize', true. pellumar_search chooses Lambda, Passes and Eta0 by
%   cross-validation.
%
%   Output: MODEL, a struct with fields
%     W            (M + Bias)-by-K weights: the features' rows, then the bias
%                  weight; one column per classifier (K = 1 for two classes,
%                  where a positive score means the second class).
%     Classes      the sorted distinct labels, a column of the labels' class.
%     Bias, Standardize, Lambda, Passes, Eta0   the settings used.
%     Iterations   T, the iterations of each classifier.
%     Mean, Scale  the features' means and standard deviations, or []
%                  without 'Standardize'. A feature constant to within
%                  rounding (its range at most 16 units in the last place of
%                  its magnitude, as for 0.1 in every sample) has its value
%                  as Mean and 1 as Scale, and trains as a row of zeros, so
%                  that its weight is 0.
%     LabelsAsColumn  true when the labels were a column, so that
%                  pellumar_predict gives a column too.
%
%   Each classifier's visiting order is drawn from the clock, as Pellumar
%   draws it, so two trainings give slightly different weights unless they
%   fall within the same second.
%
%   Errors (identifier: cause)
%     pellumar:nargin          fewer than two inputs
%     pellumar:sparseData      X is sparse: training needs full(X)
%     pellumar:badData         X is not a real double matrix
%     pellumar:nonFinite       X holds NaN or Inf (the message names the first
%                              sample and feature holding one)
%     pellumar:badLabels       labels of another class, or NaN (in MATLAB:
%                              undefined or missing)
%     pellumar:samplesAsRows   as many labels as X has rows, not columns:
%                              samples are columns, pass X.'
%     pellumar:labelCount      the number of labels is not the number of samples
%     pellumar:oneClass        fewer than two distinct labels
%     pellumar:unknownOption   an option name that is not one of the above,
%                              with or without a value after it
%     pellumar:badOption       an option value that is not a finite number in
%                              range (or true/false), or options not in pairs
%     pellumar:noIterations    Passes * N < 1: T would be 0, an untrained model
%   and the errors of Pellumar itself (help Pellumar).
%
%   Example
%     labels = randi(3, 1, 300);
%     centres = [3 0; -2 3; -2 -3]';
%     X = centres(:, labels) + randn(2, 300);
%     model = pellumar_train(X, labels, 'Lambda', 1e-3);
%     accuracy = mean(pellumar_predict(model, X) == labels)
%
%   See also pellumar_predict, pellumar_search, Pellumar.

  if nargin < 2
    error('pellumar:nargin', 'pellumar_train: needs X and the labels (help pellumar_train)');
  end
  [classes, index] = check_training_data('pellumar_train', X, labels);
  defaults = struct('Lambda', 1e-4, 'Passes', 10, 'Eta0', 0.5, 'Bias', true, 'Standardize', false);
  opts = parse_options('pellumar_train', defaults, varargin);
  check_number('pellumar_train', 'Lambda', opts.Lambda, true, 0, false);
  check_number('pellumar_train', 'Passes', opts.Passes, true, 0, true);
  check_number('pellumar_train', 'Eta0', opts.Eta0, true, 0, true);
  opts.Bias = check_switch('pellumar_train', 'Bias', opts.Bias);
  opts.Standardize = check_switch('pellumar_train', 'Standardize', opts.Standardize);

  samples = size(X, 2);
  T = floor(double(opts.Passes) * samples);
  if T < 1
    error('pellumar:noIterations', ...
          ['pellumar_train: Passes %g over %d samples make no iteration (T = floor(Passes * N) ' ...
           'must be at least 1), which would give an untrained model'], double(opts.Passes), samples);
  end
  centre = [];
  scale = [];
  if opts.Standardize
    [centre, scale, constant] = feature_statistics(X);
    X = (X - centre) ./ scale;
    % Features constant to within rounding train on exact zeros: their
    % weights stay 0, whatever values new data have in them.
    X(constant, :) = 0;
  end
  if opts.Bias
    X = [X; ones(1, samples)];
  end

  % Two classes: one classifier, +1 for the second class. More: one per
  % class against the rest. Each classifier's +1/-1 row is made just before
  % its call, which costs less than a K-by-N matrix of them.
  if numel(classes) == 2
    positive = 2;
  else
    positive = 1:numel(classes);
  end
  W = zeros(size(X, 1), numel(positive));
  for k = 1:numel(positive)
    y = 2 * (index == positive(k)) - 1;
    W(:, k) = Pellumar(X, y, double(opts.Lambda), T, double(opts.Eta0));
  end

  % Braces keep a cell array of classes one field, not a struct array.
  model = struct('W', W, 'Classes', {classes}, 'Bias', opts.Bias, ...
                 'Standardize', opts.Standardize, 'Lambda', double(opts.Lambda), ...
                 'Passes', double(opts.Passes), 'Eta0', double(opts.Eta0), 'Iterations', T, ...
                 'Mean', centre, 'Scale', scale, 'LabelsAsColumn', iscolumn(labels));
end
