function [labels, X] = pellumar_read_libsvm(file, varargin)
%PELLUMAR_READ_LIBSVM Read a data file in the LIBSVM (SVMlight) text format.
%   [LABELS, X] = PELLUMAR_READ_LIBSVM(FILE) reads the samples of FILE, one
%   per line, as the columns of a sparse X, and their labels.
%   [LABELS, X] = PELLUMAR_READ_LIBSVM(FILE, FEATURES) gives X exactly
%   FEATURES rows, so that a training file and a test file read into
%   matrices of the same height.
%   [LABELS, X] = PELLUMAR_READ_LIBSVM(..., 'ZeroBased', ZB) says whether
%   the file's indices count from 0 or from 1.
%
%   The format: one sample per line,
%       label index:value index:value ...
%   with the label any number (+1/-1, 0/1, class numbers) and the indices
%   whole numbers, ascending within the line; features not listed are 0,
%   and a line holding only a label is a sample of zeros. Tokens are
%   separated by white space (spaces, tabs, vertical tabs, form feeds, a
%   carriage return before the newline). A number is an optional sign,
%   digits with at most one '.' among or around them, and an optional
%   exponent (e or E, an optional sign, digits): 1, -0.5, .5, 5., 2.5e-3; a
%   value too small for a double reads as 0 (so it is not stored), one too
%   large is refused; NaN, Inf,
%   hexadecimal and the like are refused. A '#' starts a comment that runs
%   to the end of its line; blank lines and lines holding only a comment are
%   skipped. Windows line ends are read as well, and a UTF-8 byte order mark
%   at the start is skipped. SVMlight's ranking files put a qid:VALUE token
%   after the label: it is skipped, unchecked, wherever it follows another
%   token of its line, so that such files read as classification data
%   (their relevance grades as labels).
%
%   Indices from 0 or from 1: LIBSVM's files count features from 1, and
%   index i is row i of X. Other writers (scikit-learn's dump_svmlight_file
%   by default) count from 0: index i is then row i + 1. 'ZeroBased' says
%   which: true, false, or 'auto' (the default), which reads the file as
%   zero-based when index 0 appears anywhere in it, and as one-based
%   otherwise, as scikit-learn's load_svmlight_file does. What 'auto' cannot
%   tell: a zero-based file that happens not to use feature 0 reads as
%   one-based, each feature a row early (index i in row i, not i + 1), and
%   a one-based file with a stray index 0 reads as zero-based: pass
%   'ZeroBased', true (or false) when the writer is known. With
%   'ZeroBased', false an index 0 is an error.
%
%   Compressed files: a file compressed with gzip (.gz, recognised by its
%   first bytes, whatever its name) is unpacked with gunzip into a folder
%   of its own under tempdir, which is removed afterwards, also after an
%   error, and read from there. Files compressed otherwise (bzip2, xz, zip,
%   zstd, 7z) are refused, each with its own identifier: unpack them first.
%
%   Inputs
%     FILE      name of the file, a character vector (or in MATLAB a string).
%     FEATURES  optional whole number >= 0: the number of rows of X. A row
%               above it is an error. Without it (or with []), X has as many
%               rows as the largest row in the file.
%     ZB        'auto' (the default), true (indices from 0) or false (from
%               1).
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
%     pellumar:badOption       FILE is not a character vector, FEATURES is
%                              not a whole number >= 0, or ZB is not 'auto',
%                              true or false
%     pellumar:unknownOption   an option other than 'ZeroBased'
%     pellumar:fileNotFound    FILE does not exist, is a folder or cannot be
%                              opened
%     pellumar:gzipFailed      a gzip file that gunzip could not unpack
%     pellumar:bzip2File, pellumar:xzFile, pellumar:zipFile,
%     pellumar:zstdFile, pellumar:sevenZipFile
%                              FILE is compressed in that format
%     pellumar:badLibsvmFile   a malformed line: no label, a token without
%                              ':' or with more than one, a label, index or
%                              value that is not a number, NaN or Inf (or
%                              beyond the range of double), an index that is
%                              not a whole number from 1 (0 when zero-based)
%                              up to a row of 2^31 - 1, or indices not
%                              ascending within their line. The message names
%                              the file and the first such line, counting
%                              every line from 1, comments and blank lines
%                              included.
%     pellumar:featureCount    a row above FEATURES (the message names the
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
%   www.csie.ntu.edu.tw/~cjlin/libsvmtools/datasets/ (the .bz2 ones:
%   unpack them first with bunzip2; .gz ones are read as they are). To
%   write one from MATLAB or Octave, for X (M-by-N, sparse or full, samples
%   as columns) and N labels:
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
%   See also pellumar_train, pellumar_predict, sparse, gunzip.

  if nargin < 1
    error('pellumar:nargin', 'pellumar_read_libsvm: needs the file name (help pellumar_read_libsvm)');
  end
  if isa(file, 'string') && numel(file) == 1
    file = char(file);
  end
  if ~ischar(file) || isempty(file) || size(file, 1) ~= 1 || ndims(file) ~= 2
    error('pellumar:badOption', 'pellumar_read_libsvm: the file name must be a character vector');
  end
  % FEATURES is optional: a name-value pair may come right after FILE.
  features = [];
  if ~isempty(varargin) && ~(is_text(varargin{1}) && ...
                             (numel(varargin) >= 2 || strcmpi(char(varargin{1}), 'ZeroBased')))
    features = varargin{1};
    varargin(1) = [];
  end
  limit = Inf;
  if ~isempty(features)
    if ~(isnumeric(features) && isreal(features) && isscalar(features)) || ...
       ~(features >= 0 && features == fix(features) && features <= flintmax)
      error('pellumar:badOption', 'pellumar_read_libsvm: features must be a whole number >= 0');
    end
    limit = double(features);
  end
  opts = parse_options('pellumar_read_libsvm', struct('ZeroBased', 'auto'), varargin);
  zeroBased = opts.ZeroBased;
  if isa(zeroBased, 'string') && numel(zeroBased) == 1
    zeroBased = char(zeroBased);
  end
  if ischar(zeroBased) && strcmpi(zeroBased, 'auto')
    zeroBased = 'auto';
  elseif ischar(zeroBased)
    error('pellumar:badOption', 'pellumar_read_libsvm: ''ZeroBased'' must be ''auto'', true or false');
  else
    zeroBased = check_switch('pellumar_read_libsvm', 'ZeroBased', zeroBased);
  end

  if isfolder(file)
    error('pellumar:fileNotFound', 'pellumar_read_libsvm: %s is a folder, not a file', file);
  end
  format = compression_of(file);
  if iscell(format)
    error(['pellumar:', format{2}], ['pellumar_read_libsvm: %s is compressed with %s, which is not read ' ...
          'here: unpack it first (%s %s) and read the unpacked file (gzip files are read as they are)'], ...
          file, format{1}, format{3}, file);
  elseif isempty(format)
    [labels, X] = read_text(file, file, limit, zeroBased);
  else
    % gzip: unpacked into a folder of its own, removed on the way out, also
    % after an error. The copy keeps gunzip from writing beside FILE
    % (Octave's unpacks there first, over any file of the unpacked name).
    folder = tempname();
    if ~mkdir(folder)
      error('pellumar:gzipFailed', 'pellumar_read_libsvm: cannot make a folder to unpack %s in', file);
    end
    remover = onCleanup(@() remove_folder(folder));
    packed = fullfile(folder, 'libsvm.gz');
    try
      if ~copyfile(file, packed)
        error('pellumar:gzipFailed', 'copyfile failed');
      end
      unpacked = gunzip(packed, folder);
    catch err
      error('pellumar:gzipFailed', 'pellumar_read_libsvm: %s could not be unpacked by gunzip: %s', ...
            file, err.message);
    end
    [labels, X] = read_text(char(unpacked{1}), file, limit, zeroBased);
    clear remover
  end
end

function yes = is_text(arg)
% Whether an input after FILE is text. Text followed by a value is an
% option's name (FEATURES is a number), so that a misspelt option is refused
% as an unknown option rather than as a bad feature count.
  yes = (ischar(arg) && size(arg, 1) == 1) || (isa(arg, 'string') && numel(arg) == 1);
end

function format = compression_of(file)
% The compression FILE is in, from its first bytes: '' for none known,
% 'gzip', or for the others {name, the end of its error identifier, the
% command that unpacks it}.
  fid = fopen(file, 'r');
  if fid < 0
    error('pellumar:fileNotFound', 'pellumar_read_libsvm: cannot open %s (no such file?)', file);
  end
  head = double(reshape(fread(fid, [1 6], '*uint8'), 1, []));
  fclose(fid);
  format = '';
  if numel(head) >= 2 && isequal(head(1:2), [31 139])
    format = 'gzip';
    return
  end
  magic = {[66 90 104], {'bzip2', 'bzip2File', 'bunzip2'}
           [253 55 122 88 90 0], {'xz', 'xzFile', 'unxz'}
           [80 75 3 4], {'zip', 'zipFile', 'unzip'}
           [80 75 5 6], {'zip', 'zipFile', 'unzip'}
           [80 75 7 8], {'zip', 'zipFile', 'unzip'}
           [40 181 47 253], {'zstd', 'zstdFile', 'unzstd'}
           [55 122 188 175 39 28], {'7z', 'sevenZipFile', '7z x'}};
  for k = 1:size(magic, 1)
    m = magic{k, 1};
    if numel(head) >= numel(m) && isequal(head(1:numel(m)), m)
      format = magic{k, 2};
      return
    end
  end
end

function remove_folder(folder)
% The unpacking folder and what is in it; quietly, as it runs on the way out.
  listing = dir(folder);
  for k = 1:numel(listing)
    if ~listing(k).isdir
      delete(fullfile(folder, listing(k).name));
    end
  end
  [~] = rmdir(folder);
end

function [labels, X] = read_text(name, file, limit, zeroBased)
% The samples of the text file NAME (FILE in messages).
  fid = fopen(name, 'r');
  if fid < 0
    error('pellumar:fileNotFound', 'pellumar_read_libsvm: cannot open %s (no such file?)', file);
  end
  closer = onCleanup(@() fclose(fid));   % closes the file on an error too

  % Indices as written, and the shift that makes them rows: 0 for a
  % one-based file, 1 for a zero-based one. 'auto' reads as one-based (the
  % index 0 allowed) until an index 0 appears; the pieces read by then move
  % down a row, and the first index that was at the most rows allowed
  % (WATCH) becomes one too many.
  rules = struct('MinIndex', 1, 'Shift', 0, 'Limit', limit, 'Watch', NaN);
  if isequal(zeroBased, true)
    rules.MinIndex = 0;
    rules.Shift = 1;
  elseif ischar(zeroBased)
    rules.MinIndex = 0;
    rules.Watch = min(limit, 2^31 - 1);
  end
  watchedLine = [];

  % The file is read in pieces of whole lines, a megabyte each, every piece
  % parsed at once (libsvm_parse) into a sparse matrix of its own: the only
  % arrays kept as large as the file's non-zeros are those matrices, joined
  % at the end into X. The bytes are read as they are: the format is ASCII,
  % and integers compare faster than characters.
  pieceBytes = 2^20;
  % For a file of several pieces, an array of 16 MB made and freed first:
  % glibc's malloc (Octave's, on Linux) then keeps arrays up to that size in
  % its heap from one piece to the next, where it would otherwise map fresh
  % pages for many of each piece's arrays, at a page fault per 4 KB: a third
  % of the time the reading took on a virtual machine. Elsewhere it is one
  % array made in vain.
  fseek(fid, 0, 'eof');
  if ftell(fid) > 4 * pieceBytes
    primer = zeros(1, 2^21 - 1024);
    clear primer
  end
  frewind(fid);
  parts = cell(1, 0);
  labelParts = cell(1, 0);
  rows = zeros(1, 0);
  carry = cell(1, 0);   % the parts of a line longer than a piece, read so far
  linesBefore = 0;
  atStart = true;
  ended = false;
  while ~ended
    piece = fread(fid, [1 pieceBytes], '*uint8');
    ended = numel(piece) < pieceBytes;
    if atStart && numel(piece) >= 3 && isequal(piece(1:3), uint8([239 187 191]))
      piece = piece(4:end);   % a UTF-8 byte order mark
    end
    atStart = false;
    if ~ended
      % The piece ends at its last line end, and the file is read again from
      % there (seeking back over the part of a line is cheaper than keeping
      % it and joining it to the next piece).
      k = numel(piece);
      tail = max(1, k - 65535);
      cut = find(piece(tail:k) == uint8(10), 1, 'last') + tail - 1;
      if isempty(cut) && tail > 1
        cut = find(piece(1:tail - 1) == uint8(10), 1, 'last');
      end
      if isempty(cut)
        carry{end + 1} = piece;   % a line longer than a piece: read on
        continue
      end
      if cut < k
        fseek(fid, cut - k, 'cof');
        piece = piece(1:cut);
      end
    end
    if ~isempty(carry)
      piece = [carry{:}, piece];
      carry = cell(1, 0);
    end
    [labels, index, column, value, problem, piece, watched, ends] = libsvm_parse(piece, rules);
    if problem.at > 0
      libsvm_report_error(piece, rules, file, linesBefore, line_of(piece, problem.at));
    end
    if ischar(zeroBased) && rules.Shift == 0 && any(index == 0)
      % Zero-based after all: an index that was at the most rows before is
      % now above them, and this piece is parsed again on the new rules.
      rules.Shift = 1;
      rules.Watch = NaN;
      if ~isempty(watchedLine)
        libsvm_report_error(watchedLine.text, rules, file, watchedLine.number - 1, 1);
      end
      [labels, index, column, value, problem, piece] = libsvm_parse(piece, rules);
      if problem.at > 0
        libsvm_report_error(piece, rules, file, linesBefore, line_of(piece, problem.at));
      end
      for k = 1:numel(parts)
        parts{k} = [sparse(1, size(parts{k}, 2)); parts{k}];
      end
      rows = rows + 1;
    elseif watched > 0 && isempty(watchedLine)
      line = line_of(piece, watched);
      breaks = [0, find(piece == uint8(10)), numel(piece) + 1];
      watchedLine = struct('number', linesBefore + line, 'text', piece(breaks(line) + 1:breaks(line + 1) - 1));
    end
    rows(end + 1) = max([0, index]) + rules.Shift;
    if isfinite(limit)
      rows(end) = limit;
    end
    if rules.Shift > 0
      index = index + rules.Shift;
    end
    parts{end + 1} = sparse(index, column, value, rows(end), numel(labels));
    labelParts{end + 1} = labels;
    linesBefore = linesBefore + ends;
  end
  clear index column value

  labels = [zeros(1, 0), labelParts{:}];
  height = max([0, rows]);
  for k = find(rows < height)
    parts{k} = [parts{k}; sparse(height - rows(k), size(parts{k}, 2))];
  end
  X = [sparse(height, 0), parts{:}];
end

function line = line_of(bytes, at)
% The line (from 1) of the byte at position AT of BYTES.
  line = 1 + nnz(bytes(1:at - 1) == uint8(10));
end
