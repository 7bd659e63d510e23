function s = panel_warpfill(p, out)
% warpfill: a 3-D k-space (the phantom in 16 slices of varying contrast)
% sampled on an elliptical shutter of (line, plane) pairs in scrambled
% order, placed back and reconstructed; middle slice beside the truth
  [M, N] = size(p.img);
  Z = 16;
  vol = p.img .* reshape(1 + 0.5 * cos(pi * (0:Z-1) / Z), 1, 1, Z);
  K = fftshift(fftn(vol));
  [ly, lz] = ndgrid(1:N, 1:Z);
  keep = find(((ly - N/2 - 1) / (N/2)).^2 + ((lz - Z/2 - 1) / (Z/2)).^2 <= 1);
  rand('state', 2);
  keep = keep(randperm(numel(keep)));
  Y = [ly(keep) lz(keep)];
  Kl = reshape(K, M, []);
  evalc('Kw = warpfill(Y, Kl(:, keep), [M N Z]);');
  rec = ifftn(ifftshift(Kw));
  mid = Z / 2 + 1;
  demo_png(fullfile(out, 'warpfill_slice.png'), rec(:, :, mid));
  demo_png(fullfile(out, 'warpfill_truth.png'), vol(:, :, mid));
  e = norm(abs(rec(:)) - vol(:)) / norm(vol(:));
  s = sprintf('warpfill %d of %d lines nrmse %.3f', numel(keep), N * Z, e);
end
