function check_finite(caller, X)
%CHECK_FINITE Refuse NaN or Inf in X, naming the first one.
%   CHECK_FINITE(CALLER, X) raises pellumar:nonFinite when X holds a NaN or
%   an Inf, naming the first sample (column) holding one, and its feature
%   (row), 1-based. X may be dense or sparse, of any numeric class. A NaN
%   would otherwise train without a word into NaN weights, or classify every
%   sample as one class.

  % One pass over the values when all is well; the search for the first bad
  % one only on failure. A sparse matrix's implicit zeros are finite, so only
  % its stored values are read.
  if issparse(X)
    % Column sums: one pass over the stored values, with no index lists
    % (find, and nonzeros with it, builds two, and abs copies the matrix:
    % each costs more than a training). A sum with a NaN or an Inf in it is
    % never finite; finite values near realmax may overflow one, which the
    % search below then clears.
    ok = all(isfinite(full(sum(X, 1))));
  else
    ok = all(isfinite(X(:)));
  end
  if ok
    return
  end
  if issparse(X)
    % find lists a sparse matrix's values column by column.
    [features, samples, values] = find(X);
    k = find(~isfinite(values), 1);
    if isempty(k)
      return
    end
    feature = features(k);
    sample = samples(k);
    value = values(k);
  else
    k = find(~isfinite(X(:)), 1);
    [feature, sample] = ind2sub(size(X), k);
    value = X(k);
  end
  error('pellumar:nonFinite', '%s: X holds %s at sample %d (column), feature %d (row); X must be finite', ...
        caller, num2str(double(value)), sample, feature);
end
