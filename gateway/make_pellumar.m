function make_pellumar(outdir)
%MAKE_PELLUMAR Build the Pellumar MEX module for the running host.
%   MAKE_PELLUMAR builds Pellumar; MAKE_PELLUMAR(OUTDIR) builds it into OUTDIR.
%   Run it from MATLAB or GNU Octave, from any folder: the sources are found
%   next to this file. In a release folder (sources in its src/ folder) the
%   module is built in place, beside Pellumar.m; in the source tree it is
%   built into the current folder.
%
%   MATLAB:  make_pellumar            (needs a C++14 compiler that MATLAB supports, see
%                                      "mex -setup C++": GCC 5 or later, MinGW-w64,
%                                      Visual Studio 2015 Update 3 or later, Xcode)
%   Octave:  make_pellumar            (needs the octave-dev package, or mkoctfile)
%
%   Results are exact IEEE arithmetic in a fixed order, so the compiler must not
%   fuse a*b+c into one multiply-add: the build turns contraction off
%   (-ffp-contract=off for GCC/Clang, /fp:precise for MSVC) and never uses
%   fast-math options.

  here = fileparts(mfilename('fullpath'));
  if exist(fullfile(here, 'src', 'pellumar_mex.cpp'), 'file')
    % A release folder: every source in src/, and the module built in place,
    % beside Pellumar.m.
    gateway = fullfile(here, 'src');
    core = gateway;
    defaultOut = here;
  else
    % The source tree: this file in gateway/, the core in ../core.
    gateway = here;
    core = fullfile(fileparts(here), 'core');
    defaultOut = pwd;
  end
  if nargin < 1
    outdir = defaultOut;
  end
  % Every .cpp of the core, and the gateway (in a release folder, one folder).
  coreFiles = dir(fullfile(core, '*.cpp'));
  sources = fullfile(core, {coreFiles.name});
  if ~strcmp(core, gateway)
    sources = [{fullfile(gateway, 'pellumar_mex.cpp')}, sources];
  end
  if ~exist(outdir, 'dir')
    mkdir(outdir);
  end
  outdir = absolutePath(outdir);
  % A module already loaded (by pellumar_selftest, say) holds its file open
  % on Windows, which the build could then not overwrite: unload it first.
  clear('Pellumar');

  if exist('OCTAVE_VERSION', 'builtin')
    % mkoctfile reads its compiler flags from the environment.
    base = strtrim(mkoctfile('-p', 'CXXFLAGS'));
    old = getenv('CXXFLAGS');
    setenv('CXXFLAGS', [base ' -std=c++14 -O2 -ffp-contract=off -fno-fast-math']);
    cleanup = onCleanup(@() setenv('CXXFLAGS', old));
    mkoctfile('--mex', ['-I' core], '-o', fullfile(outdir, 'Pellumar.mex'), sources{:});
  else
    cc = mex.getCompilerConfigurations('C++', 'Selected');
    if ~isempty(cc) && ~isempty(strfind(lower(cc.ShortName), 'msvc'))
      flags = {'COMPFLAGS=$COMPFLAGS /std:c++14 /fp:precise'};
    else
      flags = {'CXXFLAGS=$CXXFLAGS -std=c++14 -ffp-contract=off -fno-fast-math'};
    end
    mex('-compatibleArrayDims', '-O', flags{:}, ['-I' core], ...
        '-outdir', outdir, '-output', 'Pellumar', sources{:});
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
  % Forget any Pellumar seen before the build, so that the next call runs
  % the new module.
  clear('Pellumar');
  rehash;
end

function folder = absolutePath(folder)
  % The full name of an existing folder, without a trailing separator; cd
  % resolves '.', '..' and relative names the same way in both hosts.
  previous = cd(folder);
  folder = pwd;
  cd(previous);
end
