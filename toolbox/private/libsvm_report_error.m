function libsvm_report_error(bytes, rules, file, linesBefore, line)
%LIBSVM_REPORT_ERROR Raise the error of a malformed line of a LIBSVM file.
%   LIBSVM_REPORT_ERROR(BYTES, RULES, FILE, LINESBEFORE, LINE) takes line
%   LINE of BYTES (uint8, whole lines of FILE after its first LINESBEFORE),
%   parses it alone with libsvm_parse and the same RULES, and raises the
%   problem found, as pellumar:badLibsvmFile (pellumar:featureCount for a
%   row above RULES.Limit), naming FILE, the line of the file, the token
%   and what is wrong with it. The grammar is libsvm_parse's only: this
%   function words its verdict. pellumar_read_libsvm calls it with the
%   line where the parse of a piece placed the piece's first problem.

  bytes = reshape(bytes, 1, []);
  breaks = [0, find(bytes == uint8(10)), numel(bytes) + 1];
  text = bytes(breaks(line) + 1:breaks(line + 1) - 1);
  [~, ~, ~, ~, problem, text] = libsvm_parse(text, rules);
  where = sprintf('pellumar_read_libsvm: %s, line %d', file, linesBefore + line);
  if problem.at == 0
    % Not reached: the parse of a piece and of its line agree.
    error('pellumar:badLibsvmFile', '%s: not in the LIBSVM format', where);
  end
  token = char(text(problem.from:problem.to));
  switch problem.role
    case 'value'
      name = sprintf('value of index %s', shown(char(text(problem.index(1):problem.index(2)))));
    otherwise
      name = problem.role;
  end
  id = 'pellumar:badLibsvmFile';
  switch problem.kind
    case 'label'
      what = sprintf('no label: the line starts with ''%s''', shown(token));
    case 'pair'
      what = sprintf('''%s'' is not one index:value pair', shown(token));
    case 'empty'
      what = sprintf('''%s'' lacks an index or a value', shown(token));
    case 'number'
      if all(token < 127) && ~isempty(regexpi(token, '^[+-]?(inf|nan)$', 'once'))
        what = sprintf('%s %s is not finite', name, token);
      else
        what = sprintf('%s ''%s'' is not a number', name, shown(token));
      end
    case 'range'
      what = sprintf('%s %s is beyond the range of double', name, shown(token));
    case 'whole'
      what = sprintf('index %s is not a whole number from %d to %d', shown(token), rules.MinIndex, ...
                     2^31 - 1 - rules.Shift);
    case 'order'
      what = sprintf('index %s comes after index %.17g: indices must ascend within a line', ...
                     shown(token), problem.previous);
    case 'limit'
      id = 'pellumar:featureCount';
      if rules.Shift > 0
        what = sprintf('index %s, row %s of X as the file is zero-based, is above the %d features asked for', ...
                       shown(token), row_of(token), rules.Limit);
      else
        what = sprintf('index %s is above the %d features asked for', shown(token), rules.Limit);
      end
  end
  error(id, '%s: %s', where, what);
end

function row = row_of(token)
  row = sprintf('%.17g', str2double(token) + 1);
end

function text = shown(text)
% A token as a message shows it: its first 40 characters, with '?' for
% control characters and bytes beyond ASCII.
  text(text < 32 | text > 126) = '?';
  if numel(text) > 40
    text = [text(1:37), '...'];
  end
end
