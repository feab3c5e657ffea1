% The Fashion-MNIST example: its IDX reader on small files written here, good
% and broken, and the demo itself on a slice of the data (2,000 training and
% 1,000 held-out images), on slices that lack classes, and on calls it must
% refuse. Run with the module's folder and examples/ on the path; prints
% "N passed, N failed".
1;

function path = writeBytes(folder, name, bytes)
  path = fullfile(folder, name);
  fid = fopen(path, 'w');
  fwrite(fid, bytes, 'uint8');
  fclose(fid);
end

function id = readError(path)
  id = '';
  try
    read_idx(path);
  catch err
    id = err.identifier;
  end
end

function id = demoError(varargin)
  id = '';
  try
    evalc('fashion_mnist_demo(varargin{:})');
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
mkdir(scratch);

% Two 2x3 images, and three labels: values in file order, sizes big-endian.
pixels = [0 1 2 3 4 5 250 251 252 253 254 255];
images = [0 0 8 3, 0 0 0 2, 0 0 0 2, 0 0 0 3, pixels];
imagePath = writeBytes(scratch, 'images-idx3-ubyte', images);
[values, dims] = read_idx(imagePath);
check(isequal(dims, [2 2 3]) && isequal(values', pixels), 'three-dimensional file read');
[values, dims] = read_idx(writeBytes(scratch, 'labels-idx1-ubyte', [0 0 8 1, 0 0 0 3, 9 0 4]));
check(isequal(dims, 3) && isequal(values', [9 0 4]), 'one-dimensional file read');
% A size above 2^24 is read from all four bytes (a wrongly ordered read
% would see 1 or 65536 here and call the file truncated or trailing).
check(strcmp(readError(writeBytes(scratch, 'big', [0 0 8 1, 1 0 0 0, 7])), 'readIdx:truncated'), ...
      'size of 2^24 read big-endian');

gzip(imagePath);
[values, dims] = read_idx([imagePath '.gz']);
check(isequal(dims, [2 2 3]) && isequal(values', pixels), 'gzip-compressed file read');

% Broken files, each refused with its identifier.
check(strcmp(readError(fullfile(scratch, 'absent-idx1-ubyte')), 'readIdx:missing'), 'missing file');
check(strcmp(readError(writeBytes(scratch, 'empty', [])), 'readIdx:truncated'), 'empty file');
check(strcmp(readError(writeBytes(scratch, 'float', [0 0 13 1, 0 0 0 1, 1 2 3 4])), ...
             'readIdx:badMagic'), 'float data type refused');
check(strcmp(readError(writeBytes(scratch, 'text', double('hello world'))), 'readIdx:badMagic'), ...
      'text file refused');
check(strcmp(readError(writeBytes(scratch, 'nodims', [0 0 8 0])), 'readIdx:badMagic'), ...
      'zero dimensions refused');
check(strcmp(readError(writeBytes(scratch, 'shortheader', [0 0 8 3, 0 0 0 2, 0 0])), ...
             'readIdx:truncated'), 'truncated header');
check(strcmp(readError(writeBytes(scratch, 'shortdata', images(1:end-1))), 'readIdx:truncated'), ...
      'data one byte short');
check(strcmp(readError(writeBytes(scratch, 'trailing', [images 0])), 'readIdx:trailing'), ...
      'one byte too many');

% The demo on a folder without the data set names the files and where to get them.
try
  fashion_mnist_demo(scratch, 'out', scratch);
  message = '';
catch err
  message = err.message;
end
check(~isempty(strfind(message, 't10k-labels-idx1-ubyte')) && ~isempty(strfind(message, 'dataset-fashion-mnist')), ...
      sprintf('missing data set reported, got "%s"', message));

% The demo on a slice of the real data: it completes, prints one row per
% setting with the accuracy it returns, and that accuracy is far above the
% 0.10 of a constant classifier; both pictures are PNG files.
out = fullfile(scratch, 'demo');
printed = evalc('results = fashion_mnist_demo('''', ''train'', 2000, ''test'', 1000, ''out'', out);');
rows = regexp(printed, '(?m)^\s*(\d+)\s+(\S+)\s+(0\.\d{4})\s+(0\.\d{4})\s+(\d+\.\d\d)\s*$', 'tokens');
check(numel(rows) == numel(results) && numel(results) >= 4, ...
      sprintf('%d table rows printed for %d settings', numel(rows), numel(results)));
validation = cellfun(@(r) str2double(r{3}), rows);
shown = cellfun(@(r) str2double(r{4}), rows);
check(numel(shown) == numel(results) && all(abs(shown - [results.accuracy]) < 5e-5) && ...
      all(abs(validation - [results.validation]) < 5e-5), ...
      'printed validation and held-out accuracies are the returned ones');
[~, chosen] = max([results.validation]);
check(~isempty(strfind(printed, sprintf('chosen on the validation split: %d passes, lambda = %g', ...
                                        results(chosen).passes, results(chosen).lambda))), ...
      'the setting named is the one with the best validation accuracy');
check(all(shown > 0.6), sprintf('held-out accuracies %s above 0.6', mat2str(shown, 3)));
check(all(arrayfun(@(r) numel(r.perClass) == 10 && all(r.perClass >= 0 & r.perClass <= 1), ...
                   results)), 'ten per-class accuracies per setting');
check(~isempty(strfind(printed, 'Ankle boot')), 'per-class table printed');
for picture = {'fashion_accuracy_vs_time.png', 'fashion_weights.png'}
  check(pngWritten(fullfile(out, picture{1})), [picture{1} ' written']);
end

% Slices with fewer classes than ten, some missing from the held-out images:
% the demo completes, gives NaN as those classes' accuracy, and draws both
% pictures (one weight image per classifier). Rows: folder, training and
% held-out images, the classes without a held-out image. The first 6
% training images of the data set hold classes 0, 3 and 9 (and 2,
% validating), the first 5 held-out ones 1, 2, 6 and 9. The second folder
% holds 2x2 images of two classes (one classifier), all held-out images of
% class 7.
two = fullfile(scratch, 'two');
mkdir(two);
twelve = repmat([3 7], 1, 6);
writeBytes(two, 'train-labels-idx1-ubyte', [0 0 8 1, 0 0 0 12, twelve]);
writeBytes(two, 'train-images-idx3-ubyte', [0 0 8 3, 0 0 0 12, 0 0 0 2, 0 0 0 2, ...
                                             255 * reshape([twelve == 3; twelve == 3; ...
                                                            twelve == 7; twelve == 7], 1, [])]);
writeBytes(two, 't10k-labels-idx1-ubyte', [0 0 8 1, 0 0 0 3, 7 7 7]);
writeBytes(two, 't10k-images-idx3-ubyte', [0 0 8 3, 0 0 0 3, 0 0 0 2, 0 0 0 2, ...
                                            repmat([0 0 255 255], 1, 3)]);
slices = {'', 6, 5, [0 3]; two, Inf, Inf, 3};
for k = 1:size(slices, 1)
  out = fullfile(scratch, sprintf('slice%d', k));
  try
    evalc(['results = fashion_mnist_demo(slices{k, 1}, ''train'', slices{k, 2}, ' ...
           '''test'', slices{k, 3}, ''out'', out);']);
    missing = arrayfun(@(r) r.classes(isnan(r.perClass)), results, 'UniformOutput', false);
    check(isequal(missing{:}, slices{k, 4}) && ...
          pngWritten(fullfile(out, 'fashion_weights.png')) && ...
          pngWritten(fullfile(out, 'fashion_accuracy_vs_time.png')), ...
          sprintf('slice %d: NaN for classes %s, both pictures', k, mat2str(missing{1})));
  catch err
    check(false, sprintf('slice %d: %s', k, err.message));
  end
end

% Calls the demo cannot go on with, each refused with its identifier: options
% not in pairs, counts that are not whole numbers >= 1, too few training
% images to keep one for validation.
refused = {{'train'}, 'fashionDemo:options'; {'train', 0}, 'fashionDemo:badOption';
           {'test', 'all'}, 'fashionDemo:badOption'; {'train', 5}, 'fashionDemo:tooFew'};
for k = 1:size(refused, 1)
  id = demoError('', 'out', scratch, refused{k, 1}{:});
  shown = strjoin(cellfun(@num2str, refused{k, 1}, 'UniformOutput', false));
  check(strcmp(id, refused{k, 2}), sprintf('%s refused as %s, got "%s"', shown, refused{k, 2}, id));
end

confirm_recursive_rmdir(false);
rmdir(scratch, 's');
printf('fashion: %d passed, %d failed\n', passed, failed);
exit(failed > 0);
