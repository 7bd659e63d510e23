% Benchmarks against peers measured in the same run; `make bench` runs this.
root = fileparts(fileparts(mfilename('fullpath')));
addpath(fullfile(root, 'build', 'octave'), fullfile(root, 'tests', 'fixtures'), fullfile(root, 'bench'));
fftw('threads', 1);   % the modules run on one thread; so does the peer
bench_xform2();
if exist('grappa') == 3 && exist('bench_grappa') == 2
  bench_grappa();
end
