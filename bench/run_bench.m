% Benchmarks against peers measured in the same run; `make bench` runs this.
% Each module has one benchmark, bench/bench_<name>.m, run when its module
% is built.
root = fileparts(fileparts(mfilename('fullpath')));
addpath(fullfile(root, 'build', 'octave'), fullfile(root, 'build', 'bench'), ...
        fullfile(root, 'tests', 'fixtures'), fullfile(root, 'bench'));
fftw('threads', 1);   % the modules run on one thread; so does the peer
modules = {'xform2', 'grappa', 'coilsens', 'sense', 'lcurvesense', 'unfold', ...
           'lineplace', 'warpfill', 'halfscan', 'cinefilter', 'flipmap', ...
           'coilmerge', 'ghostfix', 'framecal'};
for i = 1:numel(modules)
  m = modules{i};
  if exist(m) == 3 && exist(['bench_' m]) == 2
    feval(['bench_' m]);
  end
end
