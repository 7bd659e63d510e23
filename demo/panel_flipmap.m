function s = panel_flipmap(p, out)
% flipmap: four acquisitions of the phantom whose signal follows
% sin(flip * B1) with a B1 field that falls off from the centre; the
% normalised series of a voxel depends on its B1 only
  [M, N, L] = size(p.k);
  Nt = 4;
  [yy, xx] = ndgrid(linspace(-1, 1, M), linspace(-1, 1, N));
  b1 = 1 - 0.4 * (xx.^2 + yy.^2);
  K = zeros(M, N, 1, Nt, L);
  for t = 1:Nt
    for c = 1:L
      K(:, :, 1, t, c) = fftshift(fft2(p.coil(:, :, c) .* sin(t * pi / 10 * b1)));
    end
  end
  evalc('B = flipmap(K);');
  % the ratio of the 2nd to the 1st normalised value, 2 cos(pi b1 / 10),
  % maps B1 inside the mask
  ratio = real(B(:, :, 1, 2) ./ B(:, :, 1, 1));
  mask = abs(B(:, :, 1, 1)) > 0;
  b1est = zeros(M, N);
  b1est(mask) = acos(min(1, ratio(mask) / 2)) * 10 / pi;
  demo_png(fullfile(out, 'flipmap_first.png'), abs(B(:, :, 1, 1)));
  demo_png(fullfile(out, 'flipmap_b1.png'), b1est);
  e = max(abs(b1est(mask) - b1(mask)));
  s = sprintf('flipmap mask %d voxels, B1 max error %.1e', nnz(mask), e);
end
