function post_install (desc)
  % Octave takes a compiled module's help text from the .m file of the same
  % name in the module's own folder. pkg puts the module in the package's
  % architecture folder and the .m files elsewhere, so the help text is
  % copied beside the module; otherwise "help Pellumar" finds none.
  modules = glob (fullfile (desc.archprefix, '*', 'Pellumar.mex'));
  if isempty (modules)
    error ('pellumar: the compiled module was not installed');
  end
  for k = 1:numel (modules)
    copyfile (fullfile (desc.dir, 'Pellumar.m'), fileparts (modules{k}));
  end
end
