function post_install(desc)
  % Octave takes a compiled module's help text from the .m file of the same
  % name in the module's own folder. pkg puts the module in the package's
  % architecture folder and the .m files elsewhere, so the help text is
  % copied beside the module; otherwise "help Pellumar" finds none.
  % One folder per architecture under archprefix.
  folders = dir(desc.archprefix);
  copied = 0;
  for k = 1:numel(folders)
    folder = fullfile(desc.archprefix, folders(k).name);
    if folders(k).isdir && exist(fullfile(folder, 'Pellumar.mex'), 'file')
      copyfile(fullfile(desc.dir, 'Pellumar.m'), folder);
      copied = copied + 1;
    end
  end
  if copied == 0
    error('pellumar:notInstalled', 'pellumar: the compiled module was not installed');
  end
  % The engine of pellumar_train, pellumar_search and pellumar_order: the
  % package's src/Makefile builds it into inst/private, which pkg installs
  % with the functions. Without it they could not train.
  if ~exist(fullfile(desc.dir, 'private', 'pellumar_engine.mex'), 'file')
    error('pellumar:notInstalled', ...
          'pellumar: the compiled engine was not installed in %s', fullfile(desc.dir, 'private'));
  end
end
