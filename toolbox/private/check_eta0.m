function eta0 = check_eta0(caller, value, scalar)
%CHECK_ETA0 The 'Eta0' option: 'auto' or step sizes > 0.
%   ETA0 = CHECK_ETA0(CALLER, VALUE, SCALAR) gives VALUE as a row of doubles
%   with NaN for 'auto' (no caller can pass a NaN itself: numbers must be
%   finite). SCALAR: one value, as pellumar_train takes it; otherwise a
%   vector of them, as pellumar_search's grid: numbers, 'auto', or a cell
%   array mixing the two, such as {'auto', 4, 16}. Anything else is
%   pellumar:badOption. 'auto' in any case, as a character vector or (in
%   MATLAB) a string.
  if isAuto(value)
    eta0 = NaN;
    return
  end
  what = 'a finite real number > 0';
  if ~scalar
    what = ['finite real numbers > 0, or a cell array of such numbers and ''auto'', such as ' ...
            '{''auto'', 4, 16}'];
  end
  if ischar(value) || isstring(value)
    error('pellumar:badOption', '%s: ''Eta0'' must be ''auto'' or %s', caller, what);
  end
  if iscell(value) && ~scalar && isvector(value)
    eta0 = zeros(1, numel(value));
    for k = 1:numel(value)
      if isAuto(value{k})
        eta0(k) = NaN;
      elseif (isnumeric(value{k}) || islogical(value{k})) && isreal(value{k}) && isscalar(value{k}) && ...
             ~issparse(value{k}) && isfinite(value{k}) && value{k} > 0
        eta0(k) = double(value{k});
      else
        error('pellumar:badOption', '%s: ''Eta0'' must be ''auto'' or %s', caller, what);
      end
    end
    return
  end
  if iscell(value)
    error('pellumar:badOption', '%s: ''Eta0'' must be ''auto'' or %s', caller, what);
  end
  check_number(caller, 'Eta0', value, scalar, 0, true);
  if ~isvector(value)
    error('pellumar:badOption', '%s: ''Eta0'' must be a vector of values to try', caller);
  end
  eta0 = reshape(double(full(value)), 1, []);
end

function auto = isAuto(value)
  auto = ((ischar(value) && isrow(value)) || (isstring(value) && isscalar(value))) && ...
         strcmpi(char(value), 'auto');
end
