function bench_framecal()
% framecal on 128 x 128 frame pairs, 32 coils, 4 frame sets, against its
% Octave peer (peer_framecal: svd alignment, backslash kernels), with the
% share of each stage. The module's stages come from differences: a call
% without outputs merges and calibrates only, and one frame set's
% calibration is timed through grappa on the same reference grid.
  M = 128; L = 32; Z = 4;
  p = vtx_phantom(M, M, L);
  ev = zeros(M, M, Z, L); od = ev; truth = ev;
  for z = 1:Z
    phi = (0.01 * z * ((0:M-1)' - M/2) + 0.5 * z) * ones(1, M);
    for c = 1:L
      k0 = fftshift(fft2(fftshift(p.coil(:, :, c))));
      k1 = fftshift(fft2(fftshift(p.coil(:, :, c) .* exp(1i * phi))));
      ev(:, 1:2:end, z, c) = k0(:, 1:2:end); ev(:, 2:2:end, z, c) = k1(:, 2:2:end);
      od(:, 1:2:end, z, c) = k1(:, 1:2:end); od(:, 2:2:end, z, c) = k0(:, 2:2:end);
      truth(:, :, z, c) = p.coil(:, :, c) .* exp(0.5i * phi);
    end
  end
  framecal(ev(1:8, 1:8, 1, 1:2), od(1:8, 1:8, 1, 1:2));   % loads the module

  t0 = tic; img = framecal(ev, od); t_all = toc(t0);
  t0 = tic; framecal(ev, od); t_merge_cal = toc(t0);
  ref = reshape(ev(:, :, 1, :), M, M, L);          % any full grid of these sizes
  t0 = tic; grappa([M M L], ref, (1:M)', '2x5', 2, [], 0.25); t_cal = Z * toc(t0);
  tm = [t_merge_cal - t_cal, t_cal, t_all - t_merge_cal];
  [peer, tp] = peer_framecal(ev, od);

  names = {'interleave', 'calibration', 'reconstruction'};
  printf('%-30s %10s %7s %10s %7s %8s\n', sprintf('framecal %dx%dx%dx%d', M, M, Z, L), ...
         'module s', 'share', 'octave s', 'share', 'ratio');
  for i = 1:3
    printf('%-30s %10.2f %6.0f%% %10.2f %6.0f%% %8.2f\n', names{i}, tm(i), 100 * tm(i) / t_all, ...
           tp(i), 100 * tp(i) / sum(tp), tm(i) / tp(i));
  end
  printf('%-30s %10.2f %7s %10.2f %7s %8.2f\n', 'total', t_all, '', sum(tp), '', t_all / sum(tp));
  err = @(x) norm(x(:) - truth(:)) / norm(truth(:));
  printf('%-30s %10.4f %7s %10.2e\n', 'error against the true images', err(img), '', err(peer));
end
