function opts = parse_options(caller, defaults, args)
%PARSE_OPTIONS Name-value options of the Pellumar functions, by inputParser.
%   OPTS = PARSE_OPTIONS(CALLER, DEFAULTS, ARGS) matches the pairs in the
%   cell array ARGS against the fields of the struct DEFAULTS without regard
%   to case, and returns DEFAULTS with the values given. Octave's inputParser
%   raises its errors without identifiers and MATLAB's with its own, so
%   unknown names are collected (KeepUnmatched) and reported here as
%   pellumar:unknownOption, also a last name without a value; a known name
%   without a value is pellumar:badOption naming it, and any other parse
%   failure is raised again as pellumar:badOption.

  parser = inputParser;
  parser.FunctionName = caller;
  parser.KeepUnmatched = true;
  % Whole names only, in both hosts: MATLAB would otherwise take 'Lam' for
  % 'Lambda' where Octave refuses it.
  parser.PartialMatching = false;
  names = fieldnames(defaults);
  for k = 1:numel(names)
    addParameter(parser, names{k}, defaults.(names{k}));
  end
  % An unknown name is reported as such even when it has no value after it
  % ('Lamda' alone), which inputParser would refuse first as options not in
  % pairs: the misspelt name is the slip to tell of.
  for k = 1:2:numel(args)
    name = args{k};
    if ((ischar(name) && isrow(name)) || (isstring(name) && isscalar(name))) && ...
       ~any(strcmpi(char(name), names))
      unknownOption(caller, char(name), names);
    end
  end
  % Options not in pairs: inputParser's own message would tell of its
  % internals (Octave's names an index of varargin), not of the option.
  if mod(numel(args), 2) == 1
    name = args{end};
    if (ischar(name) && isrow(name)) || (isstring(name) && isscalar(name))
      error('pellumar:badOption', '%s: option ''%s'' has no value after it', caller, char(name));
    end
    error('pellumar:badOption', ['%s: options are name-value pairs, such as ''Lambda'', 1e-4; the ' ...
          '%d inputs after the labels are not'], caller, numel(args));
  end
  try
    parse(parser, args{:});
  catch err
    error('pellumar:badOption', ...
          '%s: options are name-value pairs, such as ''Lambda'', 1e-4 (%s)', caller, err.message);
  end
  unknown = fieldnames(parser.Unmatched);
  if ~isempty(unknown)
    unknownOption(caller, unknown{1}, names);
  end
  opts = parser.Results;
end

function unknownOption(caller, name, names)
  error('pellumar:unknownOption', '%s: unknown option ''%s''; the options are %s', ...
        caller, name, strjoin(names', ', '));
end
