function ok = is_whole_in(value, limit)
%IS_WHOLE_IN A real numeric scalar that is a whole number from 0 to LIMIT - 1.
  ok = isnumeric(value) && isreal(value) && isscalar(value) && ~issparse(value) && ...
       value >= 0 && value < limit && value == floor(value);
end
