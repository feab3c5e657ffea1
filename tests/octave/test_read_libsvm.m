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

global passed failed
passed = 0;
failed = 0;
rand('twister', 20261210);
nl = char(10);

% Each malformed file: its text, the error, the line the message names
% (every line counts, comments and blank lines too). The first bad line is
% named when there are several; the features limit is 4 in every row.
bad = 'pellumar:badLibsvmFile';
malformed = {
  'no label',                   ['1 1:2', nl, '3:1 4:2', nl],                 bad, 2
  'label not a number',         ['# a comment', nl, nl, 'yes 1:2', nl],       bad, 3
  'NaN label',                  ['NaN 1:2', nl],                              bad, 1
  'token without a colon',      ['1 1:2 3', nl, '1 2:1', nl],                 bad, 1
  'two colons',                 ['1 1:2:3', nl],                              bad, 1
  'colon with no index',        ['1 :3', nl],                                 bad, 1
  'colon with no value',        ['-1 1:1', nl, '-1 3:', nl],                  bad, 2
  'value not a number',         ['1 1:1 # note: fine', nl, '1 2:abc', nl],    bad, 2
  'Inf value',                  [nl, '1 1:-Inf', nl],                         bad, 2
  'NaN value',                  ['1 1:nan', nl],                              bad, 1
  'value beyond double',        ['1 1:1 2:1e999', nl],                        bad, 1
  'index 0',                    ['1 1:1', nl, '1 0:1', nl],                   bad, 2
  'negative index',             ['1 -2:1', nl],                               bad, 1
  'fractional index',           ['1 1.5:1', nl],                              bad, 1
  'indices descending',         ['1 3:1 2:1', nl],                            bad, 1
  'index repeated',             ['1 2:1 2:1', nl],                            bad, 1
  'two signs (Octave reads -1)', ['1 1:+-1', nl],                             bad, 1
  'lone sign',                  ['1 1:- 2:1', nl],                            bad, 1
  'two numbers in one: 1.2.3',  ['1 1:1', nl, '1 1:1.2.3', nl],               bad, 2
  'two numbers in one: 1-2',    ['1 1:1-2', nl],                              bad, 1
  'exponent without digits',    ['1 1:1e', nl],                               bad, 1
  'Fortran exponent',           ['1 1:1d5', nl],                              bad, 1
  'lone dot',                   ['1 1:.', nl],                                bad, 1
  'comma',                      ['1 1:1,5', nl],                              bad, 1
  'stray end, no last newline', ['1 1:1', nl, '1 1:1e-3.'],                   bad, 2
  'a byte beyond ASCII',        ['1 1:1', char(233), nl],                     bad, 1
  'first of two bad lines',     ['1 1:1', nl, '1 1:x', nl, '1 0:1', nl],      bad, 2
  'Windows line ends',          ['1 1:1', char([13 10]), '1 1:x', char([13 10])], bad, 2
  'indented line',              ['1 1:1', nl, '  1 2:1 x', nl],               bad, 2
  'index above features',       ['1 1:1', nl, '1 4:1 5:1', nl],               'pellumar:featureCount', 2
};
for k = 1:size(malformed, 1)
  [id, message] = read_error(malformed{k, 2}, 4);
  where = regexp(message, 'line (\d+)', 'tokens', 'once');
  check(strcmp(id, malformed{k, 3}) && ~isempty(where) && str2double(where{1}) == malformed{k, 4}, ...
        sprintf('malformed, %s: got %s "%s"', malformed{k, 1}, id, message));
end

% The arguments.
check(strcmp(read_error(['1 1:1', nl], -1), 'pellumar:badOption') && ...
      strcmp(read_error(['1 1:1', nl], 2.5), 'pellumar:badOption') && ...
      strcmp(read_error(['1 1:1', nl], 'ten'), 'pellumar:badOption'), 'features: a whole number >= 0');
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
