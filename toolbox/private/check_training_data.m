function [classes, index] = check_training_data(caller, X, labels)
%CHECK_TRAINING_DATA The checks of the data and labels that training needs.
%   [CLASSES, INDEX] = CHECK_TRAINING_DATA(CALLER, X, LABELS) refuses, with an
%   identifier, the slips that would otherwise train a bad model without a
%   word, and returns the sorted distinct labels (a column of the labels'
%   class) with each sample's class number (a row, 1..numel(CLASSES)).

  if issparse(X)
    error('pellumar:sparseData', ...
          ['%s: X is sparse, and training needs dense data: pass full(X) if it fits in ' ...
           'memory'], caller);
  end
  if ~isa(X, 'double') || ~isreal(X) || ndims(X) ~= 2
    error('pellumar:badData', '%s: X must be a real double matrix, one sample per column', caller);
  end
  if ~((isnumeric(labels) && isreal(labels)) || islogical(labels) || iscellstr(labels)) || ...
     issparse(labels)
    error('pellumar:badLabels', ...
          '%s: labels must be numeric, logical or a cell array of character vectors', caller);
  end
  if isnumeric(labels) && any(isnan(labels(:)))
    error('pellumar:badLabels', '%s: labels must not be NaN', caller);
  end
  [features, samples] = size(X);
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
  [classes, ~, index] = unique(labels(:));
  if numel(classes) < 2
    error('pellumar:oneClass', '%s: the labels hold %d distinct value(s); training needs two or more', ...
          caller, numel(classes));
  end
  index = reshape(index, 1, []);
end
