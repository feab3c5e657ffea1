function [labels, X] = pellumar_read_libsvm(file, features)
%PELLUMAR_READ_LIBSVM Read a data file in the LIBSVM (SVMlight) text format.
%   [LABELS, X] = PELLUMAR_READ_LIBSVM(FILE) reads the samples of FILE, one
%   per line, as the columns of a sparse X, and their labels.
%   [LABELS, X] = PELLUMAR_READ_LIBSVM(FILE, FEATURES) gives X exactly
%   FEATURES rows, so that a training file and a test file read into
%   matrices of the same height.
%
%   The format: one sample per line,
%       label index:value index:value ...
%   with the label any number (+1/-1, 0/1, class numbers) and the indices
%   1-based whole numbers, ascending within the line; features not listed
%   are 0, and a line holding only a label is a sample of zeros. Tokens are
%   separated by spaces or tabs. A '#' starts a comment that runs to the end
%   of its line; blank lines and lines holding only a comment are skipped.
%   Windows line ends are read as well, and a UTF-8 byte order mark at the
%   start is skipped. SVMlight's ranking files put a
%   qid:VALUE token after the label: it is skipped, unchecked, wherever it
%   follows another token of its line, so that such files read as
%   classification data (their relevance grades as labels).
%
%   Inputs
%     FILE      name of the file, a character vector (or in MATLAB a string).
%     FEATURES  optional whole number >= 0: the number of rows of X. An index
%               above it is an error. Without it (or with []), X has as many
%               rows as the largest index in the file.
%
%   Outputs
%     LABELS  1-by-N double row, the label of each sample, in file order.
%     X       M-by-N sparse double, one sample per COLUMN: X(:, j) is the
%             j-th sample (the j-th line that is not blank or a comment).
%             pellumar_train, pellumar_search and pellumar_predict take it
%             as it is, sparse.
%
%   Errors (identifier: cause)
%     pellumar:nargin          no input
%     pellumar:badOption       FILE is not a character vector, or FEATURES is
%                              not a whole number >= 0
%     pellumar:fileNotFound    FILE does not exist, is a folder or cannot be
%                              opened
%     pellumar:badLibsvmFile   a malformed line: no label, a token without
%                              ':' or with more than one, a label, index or
%                              value that is not a number, NaN or Inf (or
%                              beyond the range of double), an index that is
%                              not a positive whole number, or indices not
%                              ascending within their line. The message names
%                              the file and the first such line, counting
%                              every line from 1, comments and blank lines
%                              included.
%     pellumar:featureCount    an index above FEATURES (the message names the
%                              line)
%
%   Example (a9a of the data sets page below, whose 123 features the page
%   gives: either file alone may not use the last ones)
%     [ytrain, Xtrain] = pellumar_read_libsvm('a9a', 123);
%     [ytest, Xtest] = pellumar_read_libsvm('a9a.t', 123);
%     model = pellumar_train(Xtrain, ytrain);
%     accuracy = mean(pellumar_predict(model, Xtest) == ytest)
%
%   Where the files come from: the public benchmark collections (RCV1,
%   news20, real-sim, webspam, url, a9a, ...) are on the LIBSVM data sets
%   page, "LIBSVM Data: Classification",
%   www.csie.ntu.edu.tw/~cjlin/libsvmtools/datasets/ (some compressed:
%   unpack them first, e.g. with gunzip or bunzip2). To write one from
%   MATLAB or Octave, for X (M-by-N, sparse or full, samples as columns) and
%   N labels:
%     fid = fopen('data.txt', 'w');
%     for j = 1:size(X, 2)
%       [i, ~, v] = find(X(:, j));
%       fprintf(fid, '%.17g', labels(j));
%       if ~isempty(i)                 % else fprintf would write ' :'
%         fprintf(fid, ' %d:%.17g', [i(:)'; v(:)']);  % %.17g: doubles exactly
%       end
%       fprintf(fid, '\n');
%     end
%     fclose(fid);
%
%   See also pellumar_train, pellumar_predict, sparse.

  if nargin < 1
    error('pellumar:nargin', 'pellumar_read_libsvm: needs the file name (help pellumar_read_libsvm)');
  end
  if isa(file, 'string') && numel(file) == 1
    file = char(file);
  end
  if ~ischar(file) || isempty(file) || size(file, 1) ~= 1 || ndims(file) ~= 2
    error('pellumar:badOption', 'pellumar_read_libsvm: the file name must be a character vector');
  end
  limit = [];
  if nargin >= 2 && ~isempty(features)
    if ~(isnumeric(features) && isreal(features) && isscalar(features)) || ...
       ~(features >= 0 && features == fix(features) && features <= flintmax)
      error('pellumar:badOption', 'pellumar_read_libsvm: features must be a whole number >= 0');
    end
    limit = double(features);
  end

  if isfolder(file)
    error('pellumar:fileNotFound', 'pellumar_read_libsvm: %s is a folder, not a file', file);
  end
  fid = fopen(file, 'r');
  if fid < 0
    error('pellumar:fileNotFound', 'pellumar_read_libsvm: cannot open %s (no such file?)', file);
  end
  closer = onCleanup(@() fclose(fid));   % closes the file on an error too

  % The file is read in pieces of whole lines, about a megabyte each, every
  % piece parsed at once: the arrays the parse makes stay in the processor's
  % caches, which is several times faster than one pass over a large file
  % (and needs no copy of it in memory). The bytes are read as they are: the
  % format is ASCII, and integers compare faster than characters.
  pieceBytes = 2^20;
  parts = cell(4, 0);
  carry = zeros(1, 0, 'uint8');
  linesBefore = 0;
  samples = 0;
  atStart = true;
  ended = false;
  while ~ended
    more = fread(fid, [1 pieceBytes], '*uint8');
    ended = numel(more) < pieceBytes;
    buffer = [carry, reshape(more, 1, [])];
    if atStart && numel(buffer) >= 3 && isequal(buffer(1:3), uint8([239 187 191]))
      buffer = buffer(4:end);   % a UTF-8 byte order mark
    end
    atStart = false;
    cut = numel(buffer);
    if ~ended
      cut = find(buffer == 10, 1, 'last');
      if isempty(cut)
        carry = buffer;   % a line longer than a piece: read on
        continue
      end
    end
    piece = libsvm_clean_text(buffer(1:cut));
    carry = buffer(cut + 1:end);
    [labels, index, column, value, problem] = parse(piece, limit);
    if problem > 0
      % Something is wrong: find the first malformed line of the piece, one
      % line at a time, up to the one where the parse found the problem.
      libsvm_report_error(piece, limit, file, linesBefore, line_of(piece, problem));
    end
    parts(:, end + 1) = {labels; index; column + samples; value};
    samples = samples + numel(labels);
    linesBefore = linesBefore + nnz(piece == 10);
  end

  labels = [zeros(1, 0), parts{1, :}];
  index = vertcat(zeros(0, 1), parts{2, :});
  if isempty(limit)
    limit = max([0; index]);
  end
  X = sparse(index, vertcat(zeros(0, 1), parts{3, :}), vertcat(zeros(0, 1), parts{4, :}), limit, samples);
end

function [labels, index, column, value, problem] = parse(bytes, limit)
% A piece of whole lines at once. PROBLEM is 0 when they are well formed;
% otherwise the position in BYTES of the first problem found (Inf when it
% could not be placed).
  labels = zeros(1, 0);
  index = zeros(0, 1);
  column = zeros(0, 1);
  value = zeros(0, 1);
  problem = Inf;

  % Tokens: the runs between white space (spaces, tabs, line ends; the other
  % control characters too, which sscanf will then refuse). Passes over all
  % the bytes cost the most, so they are few.
  n = numel(bytes);
  if max([bytes, uint8(0)]) <= 32
    % No token: well formed if only white space (NUL and the like are not).
    if all(bytes == 32 | (bytes >= 9 & bytes <= 13))
      problem = 0;
    end
    return
  end
  starts = 1 + find(bytes(1:n - 1) <= 32 & bytes(2:n) > 32);
  if bytes(1) > 32
    starts = [1, starts];
  end
  % A token is a line's first when a newline is in the white space before
  % it: mostly the newline is the byte just before. When that byte is
  % another white space and so is the one before it (indentation, two
  % spaces between tokens), the newlines are counted up to the token's start
  % and up to the previous token's start.
  before = around(bytes, starts - 1);
  first = before == 10;
  first(1) = true;
  long = find(~first & around(bytes, starts - 2) <= 32);
  long = long(long > 1);
  if ~isempty(long)
    newlines = [0, find(bytes == 10), Inf];
    [~, previous] = histc(starts(long - 1), newlines);
    [~, own] = histc(starts(long), newlines);
    first(long) = own > previous;
  end

  % The bytes that are neither digits nor white space: colons, dots, signs,
  % letters and any other, in one pass.
  marks = find(bytes > 57 | (bytes > 32 & bytes < 48));
  kind = bytes(marks);
  colons = marks(kind == 58);

  % The label alone, then index:value pairs: the k-th ':' inside the k-th
  % token that is not a line's first, after its first byte and before the
  % next token's start and the white space before it.
  pairs = find(~first);
  shared = min(numel(colons), numel(pairs));
  next = [starts(2:end), n + 1];
  misplaced = colons(1:shared) <= starts(pairs(1:shared)) | colons(1:shared) >= next(pairs(1:shared)) | ...
              around(bytes, colons(1:shared) + 1) <= 32;
  if any(misplaced)
    problem = starts(pairs(find(misplaced, 1)));
    return
  elseif numel(colons) > shared
    problem = colons(shared + 1);
    return
  elseif numel(pairs) > shared
    problem = starts(pairs(shared + 1));
    return
  end

  % The spelling of the numbers, which sscanf alone reads too kindly (Octave
  % reads '+-1' as -1): the only letters are exponents', which follow a
  % digit or '.' and come before a digit or a sign; a sign starts a number
  % or an exponent and comes before a digit (or a mantissa's '.'); a '.' is
  % next to a digit. Any other byte is wrong. The first wrong one is placed.
  isExponent = kind == 69 | kind == 101;
  isSign = kind == 43 | kind == 45;
  isDot = kind == 46;
  wrong = marks(~(isExponent | isSign | isDot | kind == 58));
  wrong = wrong(:);
  at = marks(isExponent);
  misspelt = ~(digit(around(bytes, at - 1)) | around(bytes, at - 1) == 46) | ...
             ~(digit(around(bytes, at + 1)) | is_sign(around(bytes, at + 1)));
  wrong = [wrong; reshape(at(misspelt), [], 1)];
  at = marks(isSign);
  before = around(bytes, at - 1);
  after = around(bytes, at + 1);
  exponentSign = before == 69 | before == 101;
  misspelt = ~(before <= 32 | before == 58 | exponentSign) | ~(digit(after) | (after == 46 & ~exponentSign));
  wrong = [wrong; reshape(at(misspelt), [], 1)];
  at = marks(isDot);
  misspelt = ~digit(around(bytes, at - 1)) & ~digit(around(bytes, at + 1));
  wrong = [wrong; reshape(at(misspelt), [], 1)];
  if ~isempty(wrong)
    problem = min(wrong);
    return
  end

  % Every token is now a number or two around a ':'. sscanf reads them all
  % once the colons are spaces; anything it reads otherwise than one number
  % per piece (1.2.3, 1e5e5, 1-2, a stray byte) changes the count or stops
  % it. A last number 0 after all makes sscanf stop at a stray end too
  % (Octave reads '1e-3.' at the very end as 1e-3).
  bytes(colons) = 32;
  [numbers, count, message] = sscanf([char(bytes), ' 0'], '%f');
  if count ~= numel(starts) + numel(colons) + 1 || ~isempty(message)
    return
  end
  count = count - 1;
  numbers = numbers(1:count);
  % Labels where lines start, then index and value, turn about.
  firstNumber = cumsum([1, 2 - first(1:end - 1)]);
  isLabel = false(count, 1);
  isLabel(firstNumber(first)) = true;
  labels = numbers(isLabel).';
  both = reshape(numbers(~isLabel), 2, []);
  index = both(1, :).';
  value = both(2, :).';
  sample = cumsum(first);
  column = sample(~first).';

  % Indices up to 2^31 - 1, the most rows the training functions take (one
  % fewer with the bias, which counts as a feature).
  bad = ~(index >= 1 & index == fix(index) & index < 2^31) | ~isfinite(value);
  bad(2:end) = bad(2:end) | (column(2:end) == column(1:end - 1) & index(2:end) <= index(1:end - 1));
  if ~isempty(limit)
    bad = bad | index > limit;
  end
  labelTokens = find(first);
  pairTokens = find(~first);
  suspects = [reshape(starts(labelTokens(find(~isfinite(labels), 1))), [], 1); ...
              reshape(starts(pairTokens(find(bad, 1))), [], 1)];
  problem = 0;
  if ~isempty(suspects)
    problem = min(suspects);
  end
end

function line = line_of(bytes, at)
% The line (from 1) of the byte at position AT of BYTES; Inf for Inf.
  if isinf(at)
    line = Inf;
  else
    line = 1 + nnz(bytes(1:at - 1) == 10);
  end
end

function c = around(bytes, at)
% The bytes at positions AT, a space for those outside.
  c = repmat(uint8(32), size(at));
  inside = at >= 1 & at <= numel(bytes);
  c(inside) = bytes(at(inside));
end

function yes = digit(c)
  yes = c >= 48 & c <= 57;
end

function yes = is_sign(c)
  yes = c == 43 | c == 45;
end
