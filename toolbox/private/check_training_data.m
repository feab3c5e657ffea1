function [classes, index, X] = check_training_data(caller, X, labels)
%CHECK_TRAINING_DATA The checks of the data and labels that training needs.
%   [CLASSES, INDEX, X] = CHECK_TRAINING_DATA(CALLER, X, LABELS) refuses, with
%   an identifier, the slips that would otherwise train a bad model without a
%   word (NaN or Inf in X among them), and returns the sorted distinct labels
%   (a column of the labels' class) with each sample's class number (a row,
%   1..numel(CLASSES)), and X as the engine takes it: integer data as their
%   double values.

  % Dense double, single or integer data, or sparse double data (the hosts
  % have no sparse single or integer); a logical or complex X is a slip, not
  % data, as pellumar_predict holds it too. The engine reads double and
  % single: integer data are converted, as pellumar_predict classifies them.
  if isinteger(X) && isreal(X)
    X = double(X);
  end
  if ~(isa(X, 'double') || (isa(X, 'single') && ~issparse(X))) || ~isreal(X) || ndims(X) ~= 2
    error('pellumar:badData', ['%s: X must be a real double, single or integer matrix, or a real ' ...
                               'sparse double one, one sample per column'], caller);
  end
  % MATLAB's categorical and string arrays serve as labels as they are:
  % unique sorts them (a categorical in the order of its categories) and
  % indexing keeps their class, so the model's Classes, the predictions and
  % the search's comparisons (==) are of the labels' class with no
  % conversion. Octave 6 has neither class, nor iscategorical, hence the
  % guard. MATLAB is not run on this project's machines: these calls are
  % used as MATLAB R2018a's reference documents them for both classes
  % (iscategorical, isstring, ismissing, unique with three outputs, ==),
  % and Octave runs every line outside the guard.
  named = ~exist('OCTAVE_VERSION', 'builtin') && (iscategorical(labels) || isstring(labels));
  plain = ((isnumeric(labels) && isreal(labels)) || islogical(labels)) && ~issparse(labels);
  if ~(plain || iscellstr(labels) || named)
    error('pellumar:badLabels', ['%s: labels must be numeric, logical, a cell array of character ' ...
                                 'vectors, or (in MATLAB) categorical or string'], caller);
  end
  if isnumeric(labels) && any(isnan(labels(:)))
    error('pellumar:badLabels', '%s: labels must not be NaN', caller);
  end
  if named && any(ismissing(labels(:)))
    error('pellumar:badLabels', '%s: labels must not be undefined or missing', caller);
  end
  [features, samples] = size(X);
  if ~isvector(labels) && ~isempty(labels)
    error('pellumar:badLabels', '%s: labels must be a vector, one label per sample', caller);
  end
  if numel(labels) ~= samples
    if numel(labels) == features
      error('pellumar:samplesAsRows', ...
            ['%s: X has %d columns but there are %d labels, as many as X has rows. Samples ' ...
             'are the columns of X: pass X.'' for a matrix with one sample per row'], ...
            caller, samples, numel(labels));
    end
    error('pellumar:labelCount', '%s: X has %d samples (columns) but there are %d labels', ...
          caller, samples, numel(labels));
  end
  if samples == 0
    error('pellumar:noSamples', '%s: X has no samples (columns) and there are no labels', caller);
  end
  % Without features only the bias would train, a model that gives every
  % sample one class: an X of 0 rows is rather samples given as rows of an
  % empty matrix, or a file read as empty.
  if features == 0
    error('pellumar:noFeatures', ['%s: X has %d samples (columns) but no features (rows); samples ' ...
          'are the columns of X, features its rows'], caller, samples);
  end
  check_finite(caller, X);
  [classes, ~, index] = unique(labels(:));
  if numel(classes) < 2
    error('pellumar:oneClass', '%s: the labels hold %d distinct value(s); training needs two or more', ...
          caller, numel(classes));
  end
  index = reshape(index, 1, []);
end
