% pellumar_read_libsvm on one file, once, for make bench-read (which runs
% it in a fresh Octave process for each of its rounds): prints the time (and
% the processor time), the
% non-zeros, and the peak resident memory the read added to the process
% (Linux: /proc/self/status, VmHWM after the read less VmRSS before it), per
% non-zero, whole and above the result (the sparse matrix's values and row
% indices, 16 bytes a non-zero, its column starts and the labels). FILE is
% set by the caller. A small file is read first, so that loading the
% functions is neither timed nor counted.
1;

function bytes = statusBytes(name)
  text = fileread('/proc/self/status');
  bytes = 1024 * str2double(regexp(text, [name ':\s*(\d+) kB'], 'tokens', 'once'));
end

warm = [tempname(), '.txt'];
fid = fopen(warm, 'w');
fprintf(fid, '1 1:0.5 3:2\n-1 2:1\n');
fclose(fid);
[labels, X] = pellumar_read_libsvm(warm);
delete(warm);
clear labels X;
before = statusBytes('VmRSS');
start = tic;
cpu = cputime;
[labels, X] = pellumar_read_libsvm(FILE);
seconds = toc(start);
cpu = cputime - cpu;
raised = statusBytes('VmHWM') - before;
result = 16 * nnz(X) + 8 * (size(X, 2) + 1) + 8 * numel(labels);
fprintf(['Octave pellumar_read_libsvm: %.3f s (processor %.3f s), %d non-zeros, peak +%.0f MB ', ...
         '(%.1f bytes per non-zero, %.1f above the result)\n'], seconds, cpu, nnz(X), raised / 2^20, ...
        raised / nnz(X), (raised - result) / nnz(X));
