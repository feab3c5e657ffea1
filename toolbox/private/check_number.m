function check_number(caller, name, value, scalar, lowest, above)
%CHECK_NUMBER Refuse an option value that is not a usable number.
%   CHECK_NUMBER(CALLER, NAME, VALUE, SCALAR, LOWEST, ABOVE) raises
%   pellumar:badOption unless VALUE is real numeric, finite and not empty, a
%   scalar when SCALAR is true, and every element at least LOWEST (above
%   LOWEST when ABOVE is true).

  ok = (isnumeric(value) || islogical(value)) && isreal(value) && ~isempty(value) && ...
       ~issparse(value) && all(isfinite(double(value(:))));
  if ok && scalar
    ok = isscalar(value);
  end
  if ok
    ok = all(value(:) >= lowest) && ~(above && any(value(:) == lowest));
  end
  if ~ok
    if scalar
      what = 'a finite real number';
    else
      what = 'finite real numbers';
    end
    bound = '>=';
    if above
      bound = '>';
    end
    error('pellumar:badOption', '%s: ''%s'' must be %s %s %g', caller, name, what, bound, lowest);
  end
end
