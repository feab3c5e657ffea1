function make_pellumar(outdir)
%MAKE_PELLUMAR Build the Pellumar MEX module for the running host.
%   MAKE_PELLUMAR builds Pellumar into the current folder; MAKE_PELLUMAR(OUTDIR)
%   builds it into OUTDIR. Run it from MATLAB or GNU Octave, from any folder:
%   the sources are found next to this file.
%
%   MATLAB:  make_pellumar            (needs a supported C++17 compiler, see "mex -setup C++")
%   Octave:  make_pellumar            (needs the octave-dev package, or mkoctfile)
%
%   Results are exact IEEE arithmetic in a fixed order, so the compiler must not
%   fuse a*b+c into one multiply-add: the build turns contraction off
%   (-ffp-contract=off for GCC/Clang, /fp:precise for MSVC) and never uses
%   fast-math options.

  if nargin < 1
    outdir = pwd;
  end
  here = fileparts(mfilename('fullpath'));
  root = fileparts(here);
  core = fullfile(root, 'core');
  sources = {fullfile(here, 'pellumar_mex.cpp'), ...
             fullfile(core, 'training.cpp'), fullfile(core, 'train_on_order.cpp'), ...
             fullfile(core, 'hinge.cpp'), fullfile(core, 'visit_order.cpp'), ...
             fullfile(core, 'margin_decision.cpp'), fullfile(core, 'fused_pass.cpp')};
  if ~exist(outdir, 'dir')
    mkdir(outdir);
  end

  if exist('OCTAVE_VERSION', 'builtin')
    % mkoctfile reads its compiler flags from the environment.
    base = strtrim(mkoctfile('-p', 'CXXFLAGS'));
    old = getenv('CXXFLAGS');
    setenv('CXXFLAGS', [base ' -std=c++17 -O2 -ffp-contract=off -fno-fast-math']);
    cleanup = onCleanup(@() setenv('CXXFLAGS', old));
    mkoctfile('--mex', ['-I' core], '-o', fullfile(outdir, 'Pellumar.mex'), sources{:});
  else
    cc = mex.getCompilerConfigurations('C++', 'Selected');
    if ~isempty(cc) && ~isempty(strfind(lower(cc.ShortName), 'msvc'))
      flags = {'COMPFLAGS=$COMPFLAGS /std:c++17 /fp:precise'};
    else
      flags = {'CXXFLAGS=$CXXFLAGS -std=c++17 -ffp-contract=off -fno-fast-math'};
    end
    mex('-compatibleArrayDims', '-O', flags{:}, ['-I' core], ...
        '-outdir', outdir, '-output', 'Pellumar', sources{:});
  end
  copyfile(fullfile(here, 'Pellumar.m'), fullfile(outdir, 'Pellumar.m'));
end
