function [predicted, scores] = pellumar_predict(model, X)
%PELLUMAR_PREDICT Classify samples with a model from pellumar_train.
%   PREDICTED = PELLUMAR_PREDICT(MODEL, X) gives the class of each sample in
%   the columns of X, and [PREDICTED, SCORES] = PELLUMAR_PREDICT(MODEL, X)
%   also the classifiers' scores. The model's standardisation and bias are
%   applied as in training.
%
%   Inputs
%     MODEL   a struct from pellumar_train (or pellumar_search's Model).
%     X       M-by-N real numeric matrix (double, single or integer, dense
%             or sparse, classified as double(X)) with as many rows as the
%             model's features, one sample per column, finite. Sparse X is
%             multiplied as it is, never made dense (with standardisation
%             too, for a model trained on sparse data). A sparse X may have
%             fewer rows: the features after its last row are zeros in every
%             sample, as in a test file that pellumar_read_libsvm read without
%             a feature count and whose last features no sample has. Not a
%             dense X, nor a sparse one with as many columns as the model has
%             features (samples given as rows).
%
%   Outputs
%     PREDICTED  N labels, of the class of the training labels (a cell array
%                for labels given as a cell array), a column when the
%                training labels were a column and a row otherwise. With two
%                classes a positive score gives the second class; with more,
%                the class of the largest score.
%     SCORES     1-by-N scores for two classes, K-by-N for K > 2 classes:
%                w'*x summed feature after feature in row order (over the
%                stored values of a sparse x), then the bias weight added;
%                the same bits on every host. Neither the weights nor X are
%                copied for it.
%
%   Errors (identifier: cause)
%     pellumar:nargin        fewer than two inputs
%     pellumar:badModel      MODEL is not a model from pellumar_train
%     pellumar:badData       X is not a real numeric matrix (logical, char,
%                            cell, complex, ...)
%     pellumar:featureCount  X has another number of rows than the model has
%                            features (samples are columns), beyond the
%                            fewer rows a sparse X may have; the message
%                            gives both numbers
%     pellumar:nonFinite     X holds NaN or Inf (the message names the first
%                            sample and feature holding one)
%
%   Example
%     X = [randn(2, 50) + 2, randn(2, 50) - 2];
%     labels = [repmat({'north'}, 1, 50), repmat({'south'}, 1, 50)];
%     model = pellumar_train(X, labels);
%     [predicted, scores] = pellumar_predict(model, [2 -2; 2 -2])
%
%   See also pellumar_train, pellumar_search, Pellumar.

  if nargin < 2
    error('pellumar:nargin', 'pellumar_predict: needs a model and X (help pellumar_predict)');
  end
  fields = {'W', 'Classes', 'Bias', 'Standardize', 'Mean', 'Scale'};
  if ~isstruct(model) || ~isscalar(model) || ~all(isfield(model, fields))
    error('pellumar:badModel', 'pellumar_predict: the model must be a struct from pellumar_train');
  end
  % One classifier for two classes, one per class for more: the columns of W
  % decide how scores become classes, and must be the classes' own.
  classifiers = numel(model.Classes) - (numel(model.Classes) == 2);
  if ~isnumeric(model.W) || size(model.W, 2) ~= classifiers
    error('pellumar:badModel', ['pellumar_predict: the model''s W has %d column(s) for %d ' ...
          'classes (one for two classes, one per class for more): not a model from ' ...
          'pellumar_train'], size(model.W, 2), numel(model.Classes));
  end
  if ~isnumeric(X) || ~isreal(X) || ndims(X) ~= 2
    error('pellumar:badData', 'pellumar_predict: X must be a real numeric matrix, one sample per column');
  end
  % Integer and single data are classified in double, as the model was
  % trained: standardising in integer arithmetic would round and saturate,
  % and hosts don't multiply a double matrix by an integer one.
  X = double(X);
  features = size(model.W, 1) - double(model.Bias);
  % A sparse X of fewer rows holds zeros in the features after them: what a
  % LIBSVM file read without a feature count says of the features none of
  % its samples has. Rows of zeros are added, as the file would have been
  % read with the model's count. As many columns as the model's features
  % are rather samples given as rows, refused below.
  if issparse(X) && size(X, 1) < features && size(X, 2) ~= features
    X = [X; sparse(features - size(X, 1), size(X, 2))];
  end
  if size(X, 1) ~= features
    error('pellumar:featureCount', ...
          ['pellumar_predict: X has %d features (rows) but the model was trained on %d; samples ' ...
           'are the columns of X. For files read by pellumar_read_libsvm, read the training and ' ...
           'the test file with the same feature count: pellumar_read_libsvm(file, features)'], ...
          size(X, 1), features);
  end
  check_finite('pellumar_predict', X);

  if model.Standardize && issparse(X) && ~any(model.Mean)
    % A model trained on sparse data scales without centring: so is X,
    % without densifying it.
    X = standardize_data(X, model.Mean, model.Scale, false(size(model.Scale)));
  elseif model.Standardize
    % full: data centred are dense anyway, and Octave does not broadcast a
    % column over a sparse matrix.
    X = (full(X) - model.Mean) ./ model.Scale;
  end
  % The engine reads the weights and X where they are, neither copied nor
  % transposed: each score one running sum over the sample's features in
  % row order, then the bias, the same bits on every host. A model of two
  % classes has one classifier (a positive score gives the second class);
  % of more, one per class (the largest score's), as the search's folds
  % classify.
  [chosen, scores] = classify_samples(double(model.W), 1:size(model.W, 2), X, [], ...
                                      double(model.Bias));
  % The training labels' orientation; models saved before it was recorded
  % give a row.
  if isfield(model, 'LabelsAsColumn') && model.LabelsAsColumn
    predicted = reshape(model.Classes(chosen), [], 1);
  else
    predicted = reshape(model.Classes(chosen), 1, []);
  end
end
