function value = check_switch(caller, name, value)
%CHECK_SWITCH An on/off option as a logical scalar, or pellumar:badOption.

  if ~(isscalar(value) && (islogical(value) || (isnumeric(value) && isreal(value) && ...
                                                 (value == 0 || value == 1))))
    error('pellumar:badOption', '%s: ''%s'' must be true or false', caller, name);
  end
  value = logical(full(value));
end
