function [values, dims] = read_idx(path)
%READ_IDX Read an IDX file of unsigned bytes (the MNIST family's format).
%   [VALUES, DIMS] = READ_IDX(PATH) reads PATH, gzip-compressed when its name
%   ends in .gz, and returns its data as a column of doubles in file order
%   (the last dimension varies fastest) and its dimensions as a row.
%
%   The file is checked before anything is returned: two zero bytes, the type
%   byte 0x08 (unsigned byte) and a dimension count of 1 to 4, then that many
%   big-endian 32-bit sizes, then exactly their product of bytes. A missing,
%   short or malformed file is an error (identifier readIdx:missing,
%   readIdx:badMagic, readIdx:truncated or readIdx:trailing) naming the file.

  if exist(path, 'file') ~= 2
    error('readIdx:missing', 'IDX file not found: %s', path);
  end
  bytes = fileBytes(path);

  if numel(bytes) < 4
    error('readIdx:truncated', '%s: %d bytes, shorter than the 4-byte magic number', ...
          path, numel(bytes));
  end
  ndims = double(bytes(4));
  if bytes(1) ~= 0 || bytes(2) ~= 0 || bytes(3) ~= 8 || ndims < 1 || ndims > 4
    error('readIdx:badMagic', ...
          '%s: magic number %02x %02x %02x %02x is not that of an IDX file of unsigned bytes', ...
          path, bytes(1), bytes(2), bytes(3), bytes(4));
  end
  headerBytes = 4 + 4 * ndims;
  if numel(bytes) < headerBytes
    error('readIdx:truncated', '%s: the header of %d dimensions needs %d bytes, the file has %d', ...
          path, ndims, headerBytes, numel(bytes));
  end
  sizes = reshape(double(bytes(5:headerBytes)), 4, ndims);
  dims = [16777216 65536 256 1] * sizes;
  expected = headerBytes + prod(dims);
  if numel(bytes) < expected
    error('readIdx:truncated', '%s: %s needs %d bytes of data, the file has %d', ...
          path, mat2str(dims), prod(dims), numel(bytes) - headerBytes);
  elseif numel(bytes) > expected
    error('readIdx:trailing', '%s: %d bytes beyond the %s data', ...
          path, numel(bytes) - expected, mat2str(dims));
  end
  values = double(bytes(headerBytes + 1:end));
end

function bytes = fileBytes(path)
  % A .gz file is unpacked into a scratch folder of its own first.
  scratch = '';
  if numel(path) > 3 && strcmpi(path(end-2:end), '.gz')
    scratch = tempname();
    mkdir(scratch);
    unpacked = gunzip(path, scratch);
    path = unpacked{1};
  end
  fid = fopen(path, 'r');
  if fid < 0
    error('readIdx:missing', 'cannot open %s', path);
  end
  bytes = fread(fid, Inf, 'uint8=>uint8');
  fclose(fid);
  if ~isempty(scratch)
    delete(path);
    rmdir(scratch);
  end
end
