function build_all(api)
% BUILD_ALL  Build the toolkit's MEX modules for MATLAB.
%   BUILD_ALL builds them with the separate complex API (real and imaginary
%   planes, every MATLAB release). BUILD_ALL('interleaved') builds them with
%   the interleaved complex API of MATLAB R2018a and later (mex -R2018a):
%   MATLAB then hands complex arrays over as they are stored, with no
%   conversion at each call, which is faster; the results are the same.
%
%   Run from the matlab/ folder of the source tree. Each module is compiled
%   with its gateway, the host layer and the whole of vtxlib, with 32-bit
%   array dimensions (-compatibleArrayDims), and linked with a static,
%   position-independent, double-precision KISS FFT. tools/bootstrap builds
%   one into ../.deps on Debian; elsewhere build KISS FFT with
%   -DKISSFFT_DATATYPE=double -DKISSFFT_STATIC=ON and set KISSFFT_DIR below.
%   The modules are written into this folder, beside their help files.
  root = fileparts(fileparts(mfilename('fullpath')));
  kissfft_dir = fullfile(root, '.deps');
  if nargin < 1
    api = 'separate';
  end
  modules = {'xform2', 'grappa', 'coilsens', 'sense', 'lcurvesense', 'unfold', 'lineplace', ...
             'warpfill', 'halfscan', 'cinefilter', 'flipmap', 'coilmerge', 'ghostfix', 'framecal'};
  areas = {'', 'fft', 'linalg', 'grappa', 'ndarray', 'epi', 'kspace'};
  lib = {};
  for a = 1:numel(areas)
    files = dir(fullfile(root, 'vtxlib', areas{a}, '*.cpp'));
    for f = 1:numel(files)
      lib{end + 1} = fullfile(files(f).folder, files(f).name); %#ok<AGROW>
    end
  end
  lib{end + 1} = fullfile(root, 'vtxlib', 'host', 'host.cpp');
  if strcmp(api, 'interleaved')
    api_flags = {'-R2018a'};   % 32-bit dimensions are not offered with it
  else
    api_flags = {'-compatibleArrayDims'};
  end
  flags = {api_flags{:}, 'CXXFLAGS=$CXXFLAGS -std=c++17 -fvisibility=hidden', ...
           ['-I' fullfile(root, 'vtxlib')], ['-I' fullfile(kissfft_dir, 'include', 'kissfft')], ...
           '-Dkiss_fft_scalar=double', ['-L' fullfile(kissfft_dir, 'lib')], '-lkissfft-double'};
  for m = 1:numel(modules)
    name = modules{m};
    files = dir(fullfile(root, 'modules', name, '*.cpp'));
    src = cellfun(@(f) fullfile(root, 'modules', name, f), {files.name}, 'UniformOutput', false);
    fprintf('building %s\n', name);
    mex(flags{:}, ['-I' fullfile(root, 'modules', name)], '-outdir', fileparts(mfilename('fullpath')), ...
        '-output', name, src{:}, lib{:});
  end
end
