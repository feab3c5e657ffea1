% Checks of pellumar_read_libsvm in GNU Octave: malformed files refused with
% the line they fail on, and files read back as the samples they hold. Run
% with toolbox/ and tests/octave on the path; prints "N passed, N failed".
1;

function name = write_text(text)
  name = [tempname(), '.txt'];
  fid = fopen(name, 'w');
  fwrite(fid, text);
  fclose(fid);
end

function [id, message] = read_error(text, varargin)
  id = '';
  message = '';
  name = write_text(text);
  try
    pellumar_read_libsvm(name, varargin{:});
  catch err
    id = err.identifier;
    message = err.message;
  end
  delete(name);
end

function [labels, X, id, message] = read_file(name, varargin)
% The reader's outputs, or its error (then LABELS and X are []).
  labels = [];
  X = [];
  id = '';
  message = '';
  try
    [labels, X] = pellumar_read_libsvm(name, varargin{:});
  catch err
    id = err.identifier;
    message = err.message;
  end
end

function names = unpacking_folders()
% The folders in tempdir holding an unpacked file of the reader's (other
% programs may add files there meanwhile).
  names = cell(1, 0);
  listing = dir(tempdir());
  for k = find([listing.isdir])
    inside = fullfile(tempdir(), listing(k).name);
    if exist(fullfile(inside, 'libsvm.gz'), 'file') || exist(fullfile(inside, 'libsvm'), 'file')
      names{end + 1} = inside;
    end
  end
end

global passed failed
passed = 0;
failed = 0;
rand('twister', 20261210);
nl = char(10);

% Each malformed file: its text, the error, the line the message names
% (every line counts, comments and blank lines too), and options after
% FEATURES, which is 4 in every row. The first bad line is named when there
% are several.
bad = 'pellumar:badLibsvmFile';
limit = 'pellumar:featureCount';
malformed = {
  'no label',                   ['1 1:2', nl, '3:1 4:2', nl],                 bad, 2, {}
  'label not a number',         ['# a comment', nl, nl, 'yes 1:2', nl],       bad, 3, {}
  'NaN label',                  ['NaN 1:2', nl],                              bad, 1, {}
  'token without a colon',      ['1 1:2 3', nl, '1 2:1', nl],                 bad, 1, {}
  'two colons',                 ['1 1:2:3', nl],                              bad, 1, {}
  'colon with no index',        ['1 :3', nl],                                 bad, 1, {}
  'colon with no value',        ['-1 1:1', nl, '-1 3:', nl],                  bad, 2, {}
  'value not a number',         ['1 1:1 # note: fine', nl, '1 2:abc', nl],    bad, 2, {}
  'Inf value',                  [nl, '1 1:-Inf', nl],                         bad, 2, {}
  'NaN value',                  ['1 1:nan', nl],                              bad, 1, {}
  'value beyond double',        ['1 1:1 2:1e999', nl],                        bad, 1, {}
  'index 0, one-based',         ['1 1:1', nl, '1 0:1', nl],                   bad, 2, {'ZeroBased', false}
  'negative index',             ['1 -2:1', nl],                               bad, 1, {}
  'fractional index',           ['1 1.5:1', nl],                              bad, 1, {}
  'indices descending',         ['1 3:1 2:1', nl],                            bad, 1, {}
  'index repeated',             ['1 2:1 2:1', nl],                            bad, 1, {}
  'two signs (Octave reads -1)', ['1 1:+-1', nl],                             bad, 1, {}
  'lone sign',                  ['1 1:- 2:1', nl],                            bad, 1, {}
  'two numbers in one: 1.2.3',  ['1 1:1', nl, '1 1:1.2.3', nl],               bad, 2, {}
  'two numbers in one: 1-2',    ['1 1:1-2', nl],                              bad, 1, {}
  'exponent without digits',    ['1 1:1e', nl],                               bad, 1, {}
  'Fortran exponent',           ['1 1:1d5', nl],                              bad, 1, {}
  'lone dot',                   ['1 1:.', nl],                                bad, 1, {}
  'comma',                      ['1 1:1,5', nl],                              bad, 1, {}
  'stray end, no last newline', ['1 1:1', nl, '1 1:1e-3.'],                   bad, 2, {}
  'a byte beyond ASCII',        ['1 1:1', char(233), nl],                     bad, 1, {}
  'first of two bad lines',     ['1 1:1', nl, '1 1:x', nl, '1 0:1', nl],      bad, 2, {}
  'Windows line ends',          ['1 1:1', char([13 10]), '1 1:x', char([13 10])], bad, 2, {}
  'indented line',              ['1 1:1', nl, '  1 2:1 x', nl],               bad, 2, {}
  'index above features',       ['1 1:1', nl, '1 4:1 5:1', nl],               limit, 2, {}
  'zero-based, negative index', ['1 0:1 -1:2', nl],                           bad, 1, {'ZeroBased', true}
  'zero-based, row 5 of 4',     ['1 0:1', nl, '1 2:1 4:1', nl],               limit, 2, {'ZeroBased', true}
  'auto, then descending',      ['1 0:1 2:1', nl, '1 2:1 1:1', nl],           bad, 2, {}
  'auto, index 4 before a 0',   ['1 4:1', nl, '# c', nl, '1 0:1', nl],        limit, 1, {}
  'auto, index 4 after a 0',    ['1 0:1', nl, '1 4:1', nl],                   limit, 2, {}
};
for k = 1:size(malformed, 1)
  [id, message] = read_error(malformed{k, 2}, 4, malformed{k, 5}{:});
  where = regexp(message, 'line (\d+)', 'tokens', 'once');
  check(strcmp(id, malformed{k, 3}) && ~isempty(where) && str2double(where{1}) == malformed{k, 4}, ...
        sprintf('malformed, %s: got %s "%s"', malformed{k, 1}, id, message));
end

% The arguments.
check(strcmp(read_error(['1 1:1', nl], -1), 'pellumar:badOption') && ...
      strcmp(read_error(['1 1:1', nl], 2.5), 'pellumar:badOption') && ...
      strcmp(read_error(['1 1:1', nl], 'ten'), 'pellumar:badOption'), 'features: a whole number >= 0');
check(strcmp(read_error(['1 1:1', nl], 'ZeroBased', 'maybe'), 'pellumar:badOption') && ...
      strcmp(read_error(['1 1:1', nl], 4, 'ZeroBased', 2), 'pellumar:badOption') && ...
      strcmp(read_error(['1 1:1', nl], 'ZeroBased'), 'pellumar:badOption') && ...
      strcmp(read_error(['1 1:1', nl], [], 'Zerobased', 1, 'Base', 0), 'pellumar:unknownOption') && ...
      strcmp(read_error(['1 1:1', nl], 'Zerobase', true), 'pellumar:unknownOption'), ...
      'ZeroBased: ''auto'', true or false; no other option');
try
  pellumar_read_libsvm([tempname(), '_none.txt']);
  id = '';
catch err
  id = err.identifier;
end
check(strcmp(id, 'pellumar:fileNotFound'), 'a missing file');

% Comments (of any bytes: not UTF-8 here), blank lines, tabs, Windows line
% ends, a sample with no features, qid tokens (skipped) and labels of any
% kind.
name = write_text(['# caf', char(233), ': 3 samples', nl, nl, '+1 2:0.5 4:-3  # trailing', char([13 10]), ...
                   '  7', nl, '# between', nl, '0.25 qid:3', char(9), '1:1e-3 2:2', nl]);
[labels, X] = pellumar_read_libsvm(name);
check(isequal(labels, [1 7 0.25]) && issparse(X) && isa(X, 'double') && ...
      isequal(full(X), [0 0 1e-3; 0.5 0 2; 0 0 0; -3 0 0]), 'comments, blank lines, an empty sample, qid');
[~, X] = pellumar_read_libsvm(name, 10);
check(isequal(size(X), [10 3]) && isequal(full(X(1:4, :)), [0 0 1e-3; 0.5 0 2; 0 0 0; -3 0 0]), ...
      'features gives X that many rows');
delete(name);
name = write_text(['# only a comment', nl, nl]);
[labels, X] = pellumar_read_libsvm(name, 5);
check(isequal(size(labels), [1 0]) && isequal(size(X), [5 0]), 'a file with no samples');
delete(name);

% Indices from 0 or from 1: 'auto' takes a file with an index 0 anywhere
% as zero-based (index i is row i + 1), any other as one-based; true and
% false say which.
name = write_text(['1 0:0.5 2:1', nl, '-1 1:2', nl]);
[labels, X, ~, message] = read_file(name);
check(isequal(labels, [1 -1]) && isequal(full(X), [0.5 0; 0 2; 1 0]), ['auto: index 0, rows from index + 1 ', message]);
[~, X] = read_file(name, 4, 'ZeroBased', true);
check(isequal(full(X), [0.5 0; 0 2; 1 0; 0 0]), 'ZeroBased true: rows from index + 1, FEATURES rows');
delete(name);
name = write_text(['1 1:0.5 3:1', nl, '2 2:4', nl]);
[~, X] = read_file(name, 'ZeroBased', 'auto');
check(isequal(full(X), [0.5 0; 0 4; 1 0]), 'auto without index 0: one-based, rows from the index');
[~, X] = read_file(name, 'zerobased', true);
check(isequal(full(X), [0 0; 0.5 0; 0 4; 1 0]), 'ZeroBased true without index 0: every row one down');
[~, X] = read_file(name, [], 'ZeroBased', false);
check(isequal(full(X), [0.5 0; 0 4; 1 0]), 'ZeroBased false: rows from the index');
delete(name);
% The 0 three pieces in (2.4 MB): the samples before it move down a row too.
row = ['+1', sprintf(' %d:0.125', 1:12), nl];
name = write_text([repmat(row, 1, 30000), '-1 0:3 12:2', nl]);
[labels, X] = read_file(name);
check(isequal(size(X), [13 30001]) && nnz(X) == 360002 && all(all(X(2:13, 1:30000) == 0.125)) && ...
      ~any(X(1, 1:30000)) && X(1, 30001) == 3 && X(13, 30001) == 2 && labels(end) == -1, ...
      'auto: an index 0 in a late piece moves the earlier samples down');
delete(name);

% Numbers are read exactly as str2double reads them, whatever their
% spelling: integers, signs, '.'s anywhere, exponents of either case and
% sign, and digits beyond the 14 read without sscanf.
forms = {'%d', '%+d', '%.3f', '%.6g', '%.10g', '%.15g', '%.17g', '%.4e', '%.12E', '%.0f.', '.%d', '%+.2e'};
count = 6000;
tokens = cell(1, count);
for k = 1:count
  x = randn() * 10 ^ randi([-12 12]);
  form = forms{randi(numel(forms))};
  if any(strcmp(form, {'%d', '%+d', '.%d'}))
    x = round(abs(x) * 1000);
  end
  tokens{k} = sprintf(form, x);
end
tokens(1:3) = {'-0', '007', '1.e3'};
text = sprintf('%s 1:%s 2:%s 3:%s\n', tokens{:});
name = write_text(text);
[labels, X] = pellumar_read_libsvm(name);
want = reshape(str2double(tokens), 4, []);
bits = @(v) typecast(v(:), 'uint64');
check(isequal(bits(labels), bits(want(1, :))) && isequal(full(X), want(2:4, :)), ...
      'numbers of every spelling read as str2double reads them, bit for bit');
delete(name);

% gzip files are read as they are, unpacked into a folder of their own
% that is gone afterwards, after an error too; other compressions are
% refused by their first bytes, each with its identifier.
text = ['# gzip', nl, '+1 2:0.5 4:-3', char([13 10]), '-1', nl, '2 1:1e-3 3:2', nl];
name = write_text(text);
[plainLabels, plainX] = pellumar_read_libsvm(name);
gzip(name);
before = unpacking_folders();
[labels, X, ~, message] = read_file([name, '.gz']);
check(isequal(labels, plainLabels) && isequal(X, plainX) && isequal(labels, [1 -1 2]) && ...
      isempty(setdiff(unpacking_folders(), before)), ['a .gz file read as its text, its unpacking folder removed ', message]);
movefile([name, '.gz'], [name, '.data']);
[labels, X] = read_file([name, '.data'], 6);
check(isequal(labels, plainLabels) && isequal(X, [plainX; sparse(2, 3)]), 'gzip known by its bytes, not its name');
delete(name, [name, '.data']);
name = write_text(['1 1:1', nl, '# two', nl, '1 2:1 2:3', nl]);
gzip(name);
before = unpacking_folders();
[~, ~, id, message] = read_file([name, '.gz']);
check(strcmp(id, bad) && ~isempty(strfind(message, [name, '.gz, line 3: index 2 comes after index 2'])) && ...
      isempty(setdiff(unpacking_folders(), before)), ['a malformed line in a .gz file named, the folder removed: ', message]);
delete(name, [name, '.gz']);
before = unpacking_folders();
id = read_error(char([31 139 8 0 1 2 3 4 5 6 7 8 9]));
check(strcmp(id, 'pellumar:gzipFailed') && isempty(setdiff(unpacking_folders(), before)), ...
      ['a broken gzip file refused, the folder removed: got ', id]);
magic = {
  'bzip2', [66 90 104 57 49 65 89 38 83 89], 'pellumar:bzip2File'
  'xz',    [253 55 122 88 90 0 0 4],         'pellumar:xzFile'
  'zip',   [80 75 3 4 20 0 0 0],             'pellumar:zipFile'
  'zstd',  [40 181 47 253 36 5],             'pellumar:zstdFile'
  '7z',    [55 122 188 175 39 28 0 4],       'pellumar:sevenZipFile'
};
for k = 1:size(magic, 1)
  id = read_error(char([magic{k, 2}, double(['1 1:1', nl])]));
  check(strcmp(id, magic{k, 3}), sprintf('%s refused: got %s', magic{k, 1}, id));
end

% Files are read in pieces of about a megabyte of whole lines: an error in a
% late piece names its line of the file, and a line longer than a piece is
% read whole.
row = ['+1', sprintf(' %d:0.125', 1:12), nl];
text = ['# 30000 samples', nl, repmat(row, 1, 30000)];
breaks = find(text == nl);
text(breaks(25000) + 6) = 'x';
[id, message] = read_error(text);
check(strcmp(id, bad) && ~isempty(strfind(message, 'line 25001:')), ['an error 2.4 MB in: ' message]);
name = write_text(['-1', sprintf(' %d:1', 1:200000), nl, '1 3:2', nl]);
[labels, X] = pellumar_read_libsvm(name);
check(isequal(labels, [-1 1]) && isequal(size(X), [200000 2]) && nnz(X) == 200001 && X(3, 2) == 2, ...
      'a line of 1.6 MB');
delete(name);

% The writer of the help text, read back exactly (1.4 MB, so in pieces):
% values of every size, empty samples, and the last features all zero.
X = sprand(60, 3000, 0.3) .* 10 .^ (20 * rand(60, 3000) - 10) .* sign(randn(60, 3000));
X(:, [1 1500 3000]) = 0;
X(55:60, :) = 0;
labels = randi(5, 1, 3000) - 3;
name = [tempname(), '.txt'];
fid = fopen(name, 'w');
for j = 1:size(X, 2)
  [i, ~, v] = find(X(:, j));
  fprintf(fid, '%.17g', labels(j));
  if ~isempty(i)
    fprintf(fid, ' %d:%.17g', [i(:)'; v(:)']);
  end
  fprintf(fid, '\n');
end
fclose(fid);
[readLabels, readX] = pellumar_read_libsvm(name, 60);
[~, shortX] = pellumar_read_libsvm(name);
check(isequal(readLabels, labels) && isequal(readX, X) && isequal(shortX, X(1:54, :)), ...
      'the help text''s writer, read back exactly');
delete(name);

fprintf('%d passed, %d failed\n', passed, failed);
if failed > 0
  exit(1);
end
