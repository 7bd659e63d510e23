% The main job: reconstruct the built-in phantom with the toolkit's modules
% and write PNG images and a one-line summary into build/demo/. Each module
% has one panel, demo/panel_<name>.m: a function (p, out) -> summary text
% that writes its own images; a panel whose module is not built is skipped.
root = fileparts(fileparts(mfilename('fullpath')));
addpath(fullfile(root, 'build', 'octave'), fullfile(root, 'tests', 'fixtures'), fullfile(root, 'demo'));
out = fullfile(root, 'build', 'demo');
if ~exist(out, 'dir'), mkdir(out); end

M = 256; N = 256; L = 8;
p = vtx_phantom(M, N, L);
summary = {};
modules = {'xform2', 'grappa', 'coilsens', 'sense', 'lcurvesense', 'unfold', ...
           'lineplace', 'warpfill', 'halfscan', 'cinefilter', 'flipmap', ...
           'coilmerge', 'ghostfix', 'framecal'};
for i = 1:numel(modules)
  m = modules{i};
  if exist(m) == 3 && exist(['panel_' m]) == 2
    summary{end + 1} = feval(['panel_' m], p, out);
  end
end

printf('demo: %s; images in %s\n', strjoin(summary, ', '), out);
