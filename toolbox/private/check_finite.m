function check_finite(caller, X)
%CHECK_FINITE Refuse NaN or Inf in X, naming the first one.
%   CHECK_FINITE(CALLER, X) raises pellumar:nonFinite when X holds a NaN or
%   an Inf, naming the first sample (column) holding one, and its feature
%   (row), 1-based. X may be dense or sparse, of any numeric class. A NaN
%   would otherwise train without a word into NaN weights, or classify every
%   sample as one class.

  % The search for the first bad value runs only on failure. One sum over the values: a sum with a NaN or an Inf in it is never
  % finite, and a sum makes no temporary array (isfinite(X) would make one
  % as large as X, and take longer than the training; find and nonzeros,
  % on sparse data, build index lists). Finite values near realmax may
  % overflow the sum, which the search below then clears.
  if issparse(X)
    ok = isfinite(full(sum(sum(X, 1))));
  else
    ok = isfinite(sum(X(:), 'double'));
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
    if isempty(k)
      return
    end
    [feature, sample] = ind2sub(size(X), k);
    value = X(k);
  end
  error('pellumar:nonFinite', '%s: X holds %s at sample %d (column), feature %d (row); X must be finite', ...
        caller, num2str(double(value)), sample, feature);
end
