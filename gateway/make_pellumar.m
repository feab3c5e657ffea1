function make_pellumar(outdir)
%MAKE_PELLUMAR Build the Pellumar MEX modules for the running host.
%   MAKE_PELLUMAR builds the module Pellumar and the toolbox's engine
%   pellumar_engine; MAKE_PELLUMAR(OUTDIR) builds Pellumar into OUTDIR.
%   Run it from MATLAB or GNU Octave, from any folder: the sources are found
%   next to this file. In a release folder (sources in its src/ folder)
%   Pellumar is built in place, beside Pellumar.m; in the source tree it is
%   built into the current folder.
%
%   The engine, which pellumar_train, pellumar_search and pellumar_order
%   call, always goes into the private folder beside those functions, where
%   only they see it: private/ of the release folder, or toolbox/private of
%   the source tree, whatever OUTDIR is.
%
%   MATLAB:  make_pellumar            (needs a C++14 compiler that MATLAB supports, see
%                                      "mex -setup C++": GCC 5 or later, MinGW-w64,
%                                      Visual Studio 2015 Update 3 or later, Xcode)
%   Octave:  make_pellumar            (needs the octave-dev package, or mkoctfile)
%
%   Results are exact IEEE arithmetic in a fixed order, so the compiler must not
%   fuse a*b+c into one multiply-add: the build turns contraction off
%   (-ffp-contract=off for GCC/Clang, /fp:precise for MSVC) and never uses
%   fast-math options. The engine runs trainings on threads: on Linux both
%   modules are built with -pthread.

  here = fileparts(mfilename('fullpath'));
  if exist(fullfile(here, 'src', 'pellumar_mex.cpp'), 'file')
    % A release folder: the gateways in src/ and the core's folders beside
    % them, Pellumar built in place, beside Pellumar.m, and the engine in
    % private/ beside the toolbox's functions.
    gateway = fullfile(here, 'src');
    core = gateway;
    defaultOut = here;
    engineOut = fullfile(here, 'private');
  else
    % The source tree: this file in gateway/, the core in ../core, the
    % toolbox in ../toolbox.
    gateway = here;
    core = fullfile(fileparts(here), 'core');
    defaultOut = pwd;
    engineOut = fullfile(fileparts(here), 'toolbox', 'private');
  end
  if nargin < 1
    outdir = defaultOut;
  end
  % The core's folders, each compiled once; each module links the folders
  % it uses: Pellumar the clock's order and the dense run, the engine the
  % dense and sparse runs and the batches.
  gateways = {'pellumar_mex.cpp', 'pellumar_engine_mex.cpp'};
  folders = {'platform', 'run', 'module', 'sparse', 'engine'};
  uses = {{'platform', 'run', 'module'}, {'platform', 'run', 'sparse', 'engine'}};
  coreSources = {};
  folderOf = {};
  for k = 1:numel(folders)
    files = dir(fullfile(core, folders{k}, '*.cpp'));
    coreSources = [coreSources, fullfile(core, folders{k}, {files.name})];
    folderOf = [folderOf, repmat(folders(k), 1, numel(files))];
  end
  if ~exist(outdir, 'dir')
    mkdir(outdir);
  end
  if ~exist(engineOut, 'dir')
    mkdir(engineOut);
  end
  outdir = absolutePath(outdir);
  objdir = tempname();
  mkdir(objdir);
  removeObjects = onCleanup(@() removeFolder(objdir));
  % A module already loaded (by pellumar_selftest, say) holds its file open
  % on Windows, which the build could then not overwrite: unload both first.
  clear('Pellumar', 'pellumar_engine');

  % POSIX threads: glibc before 2.34 keeps them outside the C library, in a
  % library that -pthread links. MSVC and MinGW-w64 need nothing (the engine
  % uses Windows threads there); macOS has them in its C library.
  threads = isunix() && ~ismac();
  if exist('OCTAVE_VERSION', 'builtin')
    % mkoctfile reads its compiler flags from the environment. Octave has
    % one array API, whose mwIndex is 64-bit in every build with 64-bit
    % indices (the default); mkoctfile accepts and ignores MATLAB's API
    % options, with a warning, so none is given.
    base = strtrim(mkoctfile('-p', 'CXXFLAGS'));
    old = getenv('CXXFLAGS');
    % -O3: built at -O2, the sparse run took 1.6x as long on text data.
    flags = [base ' -std=c++14 -O3 -ffp-contract=off -fno-fast-math'];
    threadOption = {};
    if threads
      flags = [flags ' -pthread'];
      threadOption = {'-pthread'};
    end
    setenv('CXXFLAGS', flags);
    restoreFlags = onCleanup(@() setenv('CXXFLAGS', old));
    objects = cell(size(coreSources));
    for k = 1:numel(coreSources)
      [~, name] = fileparts(coreSources{k});
      objects{k} = fullfile(objdir, [name '.o']);
      mkoctfile('--mex', '-c', ['-I' core], coreSources{k}, '-o', objects{k});
    end
    moduleObjects = objects(ismember(folderOf, uses{1}));
    engineObjects = objects(ismember(folderOf, uses{2}));
    mkoctfile('--mex', ['-I' core], threadOption{:}, '-o', fullfile(outdir, 'Pellumar.mex'), ...
              fullfile(gateway, gateways{1}), moduleObjects{:});
    mkoctfile('--mex', ['-I' core], threadOption{:}, ...
              '-o', fullfile(engineOut, 'pellumar_engine.mex'), ...
              fullfile(gateway, gateways{2}), engineObjects{:});
  else
    cc = mex.getCompilerConfigurations('C++', 'Selected');
    if ~isempty(cc) && ~isempty(strfind(lower(cc.ShortName), 'msvc'))
      flags = {'COMPFLAGS=$COMPFLAGS /std:c++14 /fp:precise'};
    elseif threads
      flags = {'CXXFLAGS=$CXXFLAGS -std=c++14 -ffp-contract=off -fno-fast-math -pthread', ...
               'CXXOPTIMFLAGS=-O3 -DNDEBUG', 'LDFLAGS=$LDFLAGS -pthread'};
    else
      flags = {'CXXFLAGS=$CXXFLAGS -std=c++14 -ffp-contract=off -fno-fast-math', ...
               'CXXOPTIMFLAGS=-O3 -DNDEBUG'};
    end
    % The two array APIs of the mex command: Pellumar on the 32-bit
    % compatible one (-compatibleArrayDims: its output comes from
    % mxCreateDoubleMatrix_700, and it reads no sparse array), the engine on
    % the 64-bit one (-largeArrayDims: 64-bit MATLAB refuses the 32-bit API's
    % sparse entries, mxGetIr_700 and mxGetJc_700, which the engine would
    % need for sparse X). The core includes no header of the host, so its
    % objects serve both.
    mex('-c', '-largeArrayDims', '-O', flags{:}, ['-I' core], '-outdir', objdir, ...
        coreSources{:});
    % The object files are .o or .obj, as the compiler names them: each
    % source's, by its name (unique across the folders).
    objectFiles = [dir(fullfile(objdir, '*.o')); dir(fullfile(objdir, '*.obj'))];
    [~, objectNames] = cellfun(@fileparts, {objectFiles.name}, 'UniformOutput', false);
    [~, sourceNames] = cellfun(@fileparts, coreSources, 'UniformOutput', false);
    objects = fullfile(objdir, {objectFiles.name});
    moduleObjects = objects(ismember(objectNames, sourceNames(ismember(folderOf, uses{1}))));
    engineObjects = objects(ismember(objectNames, sourceNames(ismember(folderOf, uses{2}))));
    mex('-compatibleArrayDims', '-O', flags{:}, ['-I' core], '-outdir', outdir, ...
        '-output', 'Pellumar', fullfile(gateway, gateways{1}), moduleObjects{:});
    mex('-largeArrayDims', '-O', flags{:}, ['-I' core], '-outdir', engineOut, ...
        '-output', 'pellumar_engine', fullfile(gateway, gateways{2}), engineObjects{:});
  end
  % The help text goes beside the module (the module takes precedence over it).
  % Both folders resolved the same way, so that '.' and the folder's full
  % name compare equal (copying the file onto itself fails).
  helpFile = fullfile(here, 'Pellumar.m');
  helpFolder = absolutePath(here);
  sameFolder = strcmp(outdir, helpFolder) || (ispc && strcmpi(outdir, helpFolder));
  if ~sameFolder
    copyfile(helpFile, fullfile(outdir, 'Pellumar.m'));
  end
  % Forget any module seen before the build, so that the next call runs the
  % new one.
  clear('Pellumar', 'pellumar_engine');
  rehash;
end

function removeFolder(folder)
  % File by file, then the empty folder: a recursive rmdir would ask for
  % confirmation in Octave.
  files = dir(folder);
  files = files(~[files.isdir]);
  for k = 1:numel(files)
    delete(fullfile(folder, files(k).name));
  end
  rmdir(folder);
end

function folder = absolutePath(folder)
  % The full name of an existing folder, without a trailing separator; cd
  % resolves '.', '..' and relative names the same way in both hosts.
  previous = cd(folder);
  folder = pwd;
  cd(previous);
end
