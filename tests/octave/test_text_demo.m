% The text demo on a slice of the package descriptions that make demo-text
% builds in TEXT (the first 2,000 training and 600 held-out documents, in
% the files' random order), or on synthetic documents when TEXT holds none;
% on a folder without sections.txt and features.txt and with a class
% missing from the held-out documents; and on calls it must refuse. Run with
% the module's folder, toolbox/ and examples/ on the path; prints
% "text: N passed, N failed".
1;

function copyLines(from, to, count, skip)
  % The first COUNT lines of FROM whose label is not SKIP, into TO.
  in = fopen(from, 'r');
  out = fopen(to, 'w');
  while count > 0
    line = fgetl(in);
    if ~ischar(line)
      break;
    elseif sscanf(line, '%f', 1) ~= skip
      fprintf(out, '%s\n', line);
      count = count - 1;
    end
  end
  fclose(in);
  fclose(out);
end

function writeDocuments(path, count, classes)
  % Synthetic documents: twelve word draws each, a third from 40 words of
  % the document's class (half of them shared with the next class), the
  % rest from 100 words all classes share; counts scaled to length 1, as
  % tf-idf rows are.
  fid = fopen(path, 'w');
  for d = 1:count
    label = mod(d - 1, classes) + 1;
    own = (label - 1) * 20 + randi(40, 1, 4);
    common = classes * 20 + 20 + randi(100, 1, 8);
    [index, ~, slot] = unique([own, common]);
    value = accumarray(slot(:), 1)';
    fprintf(fid, '%d', label);
    fprintf(fid, ' %d:%.9g', [index; value / norm(value)]);
    fprintf(fid, '\n');
  end
  fclose(fid);
end

function id = demoError(varargin)
  id = '';
  try
    evalc('text_demo(varargin{:})');
  catch err
    id = err.identifier;
  end
end

function ok = pngWritten(path)
  ok = false;
  fid = fopen(path, 'r');
  if fid >= 0
    ok = isequal(fread(fid, 4, 'uint8')', [137 80 78 71]);
    fclose(fid);
  end
end

global passed failed
passed = 0;
failed = 0;
scratch = tempname();
slice = fullfile(scratch, 'slice');
mkdir(slice);
if ~exist('TEXT', 'var')
  TEXT = '';
end
real = exist(fullfile(TEXT, 'features.txt'), 'file') == 2;
if real
  copyLines(fullfile(TEXT, 'train.libsvm'), fullfile(slice, 'train.libsvm'), 2000, NaN);
  copyLines(fullfile(TEXT, 'test.libsvm'), fullfile(slice, 'test.libsvm'), 600, NaN);
  copyfile(fullfile(TEXT, 'sections.txt'), slice);
  copyfile(fullfile(TEXT, 'features.txt'), slice);
  printf('text: a slice of %s\n', TEXT);
else
  rand('state', 1);
  writeDocuments(fullfile(slice, 'train.libsvm'), 2000, 10);
  writeDocuments(fullfile(slice, 'test.libsvm'), 600, 10);
  fid = fopen(fullfile(slice, 'sections.txt'), 'w');
  fprintf(fid, 'topic %d\n', 1:10);
  fclose(fid);
  printf('text: synthetic documents (no data in "%s")\n', TEXT);
end
[ytest, Xtest] = pellumar_read_libsvm(fullfile(slice, 'test.libsvm'));
names = regexp(fileread(fullfile(slice, 'sections.txt')), '[^\n]+', 'match');
% The largest class's share of the held-out documents: what always naming it scores.
chance = max(accumarray(ytest(:), 1)) / numel(ytest);

% The whole grid, with a peers' file of other settings: the demo completes,
% prints the chosen setting and its held-out accuracy (far above chance),
% one per-class row per section, and draws the picture with the peers.
peers = fullfile(scratch, 'peers.txt');
fid = fopen(peers, 'w');
fprintf(fid, 'sgd 5 0.5 1 0.40 0.2\nsgd 20 0.5 1 0.45 0.8\nlinearsvc 0 1 0 0.5 3\n');
fclose(fid);
out = fullfile(scratch, 'out');
printed = evalc('results = text_demo(slice, ''out'', out, ''peers'', peers);');
best = results.search.Best;
check(results.lambda == best.Lambda && results.eta0 == best.Eta0 && ...
      results.passes == best.Passes && numel(results.search.Settings) == 18, ...
      'the search''s best setting of the 18 is the one trained');
shown = regexp(printed, 'held-out accuracy of the chosen setting \(\d+ passes\): ([01]\.\d{4})', ...
               'tokens');
check(numel(shown) == 1 && abs(str2double(shown{1}{1}) - results.accuracy) < 5e-5, ...
      'the printed held-out accuracy is the returned one');
check(results.accuracy > max(0.5, 2 * chance) && all([results.runs.accuracy] > 1.5 * chance), ...
      sprintf('held-out accuracies %s, chance %.3f', mat2str([results.runs.accuracy], 3), chance));
% Each Passes' line of the timings table shows its returned accuracy and best
% time, and the chosen setting's time is its Passes' own.
timings = regexp(printed, '(?m)^\s+(\d+)\s+([01]\.\d{4})\s+(\d+\.\d{3})$', 'tokens');
shownTimes = cellfun(@(r) str2double(r{3}), timings);
shownAccuracy = cellfun(@(r) str2double(r{2}), timings);
check(numel(timings) == numel(results.runs) && ...
      all(abs(shownTimes - [results.runs.seconds]) < 5e-4) && ...
      all(abs(shownAccuracy - [results.runs.accuracy]) < 5e-5) && all([results.runs.seconds] > 0) && ...
      results.seconds == results.runs([results.runs.passes] == results.passes).seconds, ...
      'the timings table shows each Passes'' accuracy and best time');
check(isequal(results.names, names) && isequal(results.heldOut, accumarray(ytest(:), 1)') && ...
      all(results.perClass >= 0 & results.perClass <= 1), 'per-class counts and accuracies');
rows = regexp(printed, '(?m)^(\S+(?: \d+)?)\s+(\d+)\s+([01]\.\d{3})$', 'tokens');
check(numel(rows) == 10 && isequal(cellfun(@(r) r{1}, rows, 'UniformOutput', false), names), ...
      'a per-class row for each section, by its name');
peersNamed = 'with scikit-learn averaged SGD (its settings) and scikit-learn LinearSVC';
check(~isempty(strfind(printed, peersNamed)) && ...
      pngWritten(fullfile(out, 'text_accuracy_vs_time.png')), 'picture drawn with the peers');

% No sections.txt or features.txt, and no held-out document of the last
% class: classes named by number, the test file's rows padded to the
% training file's, NaN for the missing class; a peers' file at the chosen
% setting.
bare = fullfile(scratch, 'bare');
mkdir(bare);
copyfile(fullfile(slice, 'train.libsvm'), bare);
copyLines(fullfile(slice, 'test.libsvm'), fullfile(bare, 'test.libsvm'), Inf, 10);
fid = fopen(peers, 'w');
fprintf(fid, 'sgd 3 1e-05 32 0.40 0.2\nsgd 3 1e-06 32 0.45 0.8\n');
fclose(fid);
try
  printed = evalc(['results = text_demo(bare, ''out'', out, ''peers'', peers, ' ...
                   '''lambda'', 1e-5, ''eta0'', 32, ''passes'', 3, ''folds'', 2);']);
  check(isequal(results.names{10}, 'class 10') && results.heldOut(10) == 0 && ...
        isnan(results.perClass(10)) && all(~isnan(results.perClass(1:9))) && ...
        results.accuracy > max(0.5, 2 * chance) && ...
        ~isempty(strfind(printed, 'with scikit-learn averaged SGD:')), ...
        'without the optional files: names by number, NaN for the missing class, the peers'' run');
catch err
  check(false, sprintf('without the optional files: %s', err.message));
end

% Calls the demo cannot go on with, each refused with its identifier.
fid = fopen(fullfile(bare, 'features.txt'), 'w');
fprintf(fid, 'many\n');
fclose(fid);
refused = {scratch, {}, 'textDemo:noData'; slice, {'out'}, 'textDemo:options';
           slice, {'colour', 1}, 'textDemo:option'; slice, {'folds', 1}, 'textDemo:badOption';
           slice, {'eta0', 'big'}, 'textDemo:badOption'; bare, {}, 'textDemo:badFile'};
for k = 1:size(refused, 1)
  id = demoError(refused{k, 1}, refused{k, 2}{:});
  check(strcmp(id, refused{k, 3}), sprintf('refusal %d: want %s, got "%s"', k, refused{k, 3}, id));
end

confirm_recursive_rmdir(false);
rmdir(scratch, 's');
printf('text: %d passed, %d failed\n', passed, failed);
exit(failed > 0);
