% The main job: reconstruct the built-in phantom with the toolkit's modules
% and write PNG images and a one-line summary into build/demo/.
root = fileparts(fileparts(mfilename('fullpath')));
addpath(fullfile(root, 'build', 'octave'), fullfile(root, 'tests', 'fixtures'), fullfile(root, 'demo'));
out = fullfile(root, 'build', 'demo');
if ~exist(out, 'dir'), mkdir(out); end

M = 256; N = 256; L = 8;
p = vtx_phantom(M, N, L);
summary = {};

% xform2: centred k-space back to coil images, combined by root-sum-of-squares
evalc('coil = xform2(fftshift(fftshift(p.k, 1), 2), ''b'');');
rss = sqrt(sum(abs(coil).^2, 3));
demo_png(fullfile(out, 'xform2_rss.png'), rss);
e = norm(rss(:) - p.rss(:)) / norm(p.rss(:));
summary{end + 1} = sprintf('xform2 %dx%dx%d nrmse %.1e', M, N, L, e);

if exist('grappa') == 3
  lines = sort(unique([1:2:N, N/2 - 11:N/2 + 12]))';
  [kg, img] = grappa([M N L], p.k(:, lines, :), lines);
  zf = zeros(M, N, L); zf(:, lines, :) = p.k(:, lines, :);
  evalc('zc = xform2(fftshift(fftshift(zf, 1), 2), ''b'');');
  alias = sqrt(sum(abs(zc).^2, 3));
  demo_png(fullfile(out, 'grappa_zero_filled.png'), alias);
  demo_png(fullfile(out, 'grappa_rss.png'), real(img));
  e = norm(real(img(:)) - p.rss(:)) / norm(p.rss(:));
  summary{end + 1} = sprintf('grappa R=2+24 nrmse %.3f', e);
end

if exist('coilsens') == 3
  ky = permute(p.k, [2 1 3]);   % coilsens takes lines first
  evalc('maps = coilsens(ky, (1:N)'', [N M], 1);');   % quiet: it lists the lines
  tile = [abs(maps(:, :, 1)), abs(maps(:, :, 2)); abs(maps(:, :, 3)), abs(maps(:, :, 4))];
  demo_png(fullfile(out, 'coilsens_maps.png'), tile');
  truth = permute(p.maps ./ sqrt(sum(abs(p.maps).^2, 3)), [2 1 3]);
  inside = repmat(demo_shrink(p.img' > 0.15, 3), [1 1 L]);
  e = max(abs(abs(maps(inside)) - abs(truth(inside))));
  summary{end + 1} = sprintf('coilsens %d maps, max magnitude error %.3f inside the object', L, e);
end

printf('demo: %s; images in %s\n', strjoin(summary, ', '), out);

