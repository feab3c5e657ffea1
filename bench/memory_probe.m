% Peak memory of pellumar_train on Fashion-MNIST held as CLASS ('single' or
% 'double'): the data are read as bytes and converted once, the process's
% peak resident size is reset (Linux: /proc/self/clear_refs), and the
% training's own peak above the data is read from /proc/self/status. Run by
% make bench-toolbox in a process of its own for each class.
1;

function kB = statusField(name)
  text = fileread('/proc/self/status');
  kB = str2double(regexp(text, [name ':\s*(\d+)'], 'tokens', 'once'));
end

scratch = tempname();
mkdir(scratch);
unpacked = gunzip(fullfile(FASHION, 'train-images-idx3-ubyte.gz'), scratch);
fid = fopen(unpacked{1}, 'r');
fread(fid, 16, 'uint8');
bytes = fread(fid, Inf, 'uint8=>uint8');
fclose(fid);
rmdir(scratch, 's');
labels = read_idx(fullfile(FASHION, 'train-labels-idx1-ubyte.gz'))';
X = reshape(bytes, 784, []);
clear bytes;
if strcmp(CLASS, 'single')
  X = single(X) / 255;
else
  X = double(X) / 255;
end
dataMB = numel(X) * (4 + 4 * strcmp(CLASS, 'double')) / 2^20;
fid = fopen('/proc/self/clear_refs', 'w');
fprintf(fid, '5');
fclose(fid);
before = statusField('VmRSS');
start = tic;
pellumar_train(X, labels, 'Lambda', 1e-5, 'Passes', 1, 'Eta0', 1, 'Threads', 1);
seconds = toc(start);
peak = statusField('VmHWM');
fprintf('  %-6s X (%4.0f MB): training %.3f s, process peak %5.0f MB, %5.1f MB above the data\n', ...
        CLASS, dataMB, seconds, peak / 1024, (peak - before) / 1024);
