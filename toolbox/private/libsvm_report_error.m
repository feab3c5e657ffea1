function libsvm_report_error(bytes, limit, file, linesBefore, lastLine)
%LIBSVM_REPORT_ERROR Raise the error of the first malformed line of a piece.
%   LIBSVM_REPORT_ERROR(BYTES, LIMIT, FILE, LINESBEFORE, LASTLINE) checks
%   the lines in BYTES (uint8, lines of FILE after its first LINESBEFORE,
%   as libsvm_clean_text leaves them) one at a time, from the first up to
%   LASTLINE, and raises pellumar:badLibsvmFile, or pellumar:featureCount
%   for an index above LIMIT ([]: no limit), naming FILE, the line of the
%   file and what is wrong. pellumar_read_libsvm calls it once its
%   vectorised parse has found a problem, so it always raises an error.
%   Bytes, not text: the hosts' regular expressions refuse what is not
%   UTF-8, so they only see tokens of ASCII.

  bytes = reshape(bytes, 1, []);
  breaks = [0, find(bytes == 10), numel(bytes) + 1];
  for k = 1:min(lastLine, numel(breaks) - 1)
    [id, what] = line_problem(bytes(breaks(k) + 1:breaks(k + 1) - 1), limit);
    if ~isempty(id)
      error(id, 'pellumar_read_libsvm: %s, line %d: %s', file, linesBefore + k, what);
    end
  end
  error('pellumar:badLibsvmFile', 'pellumar_read_libsvm: %s is not in the LIBSVM format', file);
end

function [id, what] = line_problem(line, limit)
% The tokens of a line are its runs of bytes other than white space (as
% \s: space, tab, line feed, vertical tab, form feed, carriage return).
  id = 'pellumar:badLibsvmFile';
  what = '';
  white = line == 32 | (line >= 9 & line <= 13);
  if all(white)
    id = '';   % blank
    return
  end
  starts = find(~white & [true, white(1:end - 1)]);
  ends = find(~white & [white(2:end), true]);
  tokens = cell(1, numel(starts));
  for t = 1:numel(starts)
    tokens{t} = char(line(starts(t):ends(t)));
  end
  label = tokens{1};
  if any(label == ':')
    what = sprintf('no label: the line starts with ''%s''', shown(label));
    return
  end
  [~, what] = read_number(label, 'label');
  if ~isempty(what)
    return
  end
  previous = 0;
  for t = 2:numel(tokens)
    token = tokens{t};
    colon = find(token == ':');
    if numel(colon) ~= 1
      what = sprintf('''%s'' is not one index:value pair', shown(token));
      return
    elseif colon == 1 || colon == numel(token)
      what = sprintf('''%s'' lacks an index or a value', shown(token));
      return
    end
    [index, what] = read_number(token(1:colon - 1), 'index');
    if ~isempty(what)
      return
    end
    if ~(index >= 1 && index == fix(index) && index < 2^31)
      what = sprintf('index %s is not a whole number from 1 to 2^31 - 1', token(1:colon - 1));
      return
    end
    if index <= previous
      what = sprintf('index %s comes after index %.17g: indices must ascend within a line', ...
                     token(1:colon - 1), previous);
      return
    end
    if ~isempty(limit) && index > limit
      id = 'pellumar:featureCount';
      what = sprintf('index %s is above the %d features asked for', token(1:colon - 1), limit);
      return
    end
    previous = index;
    [~, what] = read_number(token(colon + 1:end), sprintf('value of index %s', token(1:colon - 1)));
    if ~isempty(what)
      return
    end
  end
  id = '';
end

function [number, what] = read_number(piece, name)
% A decimal number, with an optional sign, '.' and exponent, and finite.
  number = NaN;
  what = '';
  ascii = all(piece > 32 & piece < 127);
  if ~ascii || isempty(regexp(piece, '^[+-]?(\d+\.?\d*|\.\d+)([eE][+-]?\d+)?$', 'once'))
    if ascii && ~isempty(regexpi(piece, '^[+-]?(inf|nan)$', 'once'))
      what = sprintf('%s %s is not finite', name, piece);
    else
      what = sprintf('%s ''%s'' is not a number', name, shown(piece));
    end
    return
  end
  number = str2double(piece);
  if ~isfinite(number)
    what = sprintf('%s %s is beyond the range of double', name, piece);
  end
end

function text = shown(text)
% A token as a message shows it: its first 40 characters, with '?' for
% control characters and bytes beyond ASCII.
  text(text < 32 | text > 126) = '?';
  if numel(text) > 40
    text = [text(1:37), '...'];
  end
end
