function opts = demo_options(args, opts, prefix, check, requirement)
%DEMO_OPTIONS The name-value options after a demo's FOLDER, checked.
%   OPTS = DEMO_OPTIONS(ARGS, DEFAULTS, PREFIX, CHECK, REQUIREMENT) takes the
%   pairs in the cell array ARGS over the struct DEFAULTS, whose fields are
%   the options. [OK, VALUE] = CHECK(NAME, VALUE) says whether VALUE suits
%   option NAME, and gives it as the demo keeps it. Errors, with PREFIX's
%   identifiers: PREFIX:options (not in pairs), PREFIX:option (a name that
%   is not text, or no option), PREFIX:badOption (a value CHECK refuses; the
%   message ends with REQUIREMENT).
  if mod(numel(args), 2) ~= 0
    error([prefix ':options'], ['options come as name-value pairs, and %d argument(s) ' ...
          'follow the folder'], numel(args));
  end
  names = fieldnames(opts);
  for i = 1:2:numel(args)
    name = args{i};
    value = args{i + 1};
    if ~ischar(name)
      error([prefix ':option'], 'argument %d after the folder must be an option name', i);
    elseif ~isfield(opts, name)
      error([prefix ':option'], 'unknown option ''%s'' (the options: %s)', name, ...
            strjoin(names', ', '));
    end
    [ok, value] = check(name, value);
    if ~ok
      error([prefix ':badOption'], '''%s'' must be followed by %s', name, requirement);
    end
    opts.(name) = value;
  end
end
