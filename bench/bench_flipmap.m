function bench_flipmap()
% flipmap against its steps written with Octave's sum, fftshift, ifft2 and
% circshift, on 128 x 128 x 8 slices x 4 acquisitions x 8 coils.
  randn('seed', 1);
  s = [128 128 8 4 8];
  K = complex(randn(s), randn(s));
  printf('%-30s %12s %12s %8s\n', 'flipmap case', 'flipmap ms', 'octave ms', 'ratio');
  tf = bench_time(@() quiet_flipmap(K), 3);
  tp = bench_time(@() peer_flipmap(K, 0.09), 3);
  printf('%-30s %12.1f %12.1f %8.2f\n', '128x128x8x4x8 thr=0.09', 1e3 * tf, 1e3 * tp, tf / tp);
end

function B = quiet_flipmap(K)
  evalc('B = flipmap(K);');
end

function B = peer_flipmap(K, thr)
  [Nx, Ny, Nz, Nt, Nc] = size(K);
  C = sum(K, 5) .* sin((0:Nx-1)' * 3.141592654 / Nx) / Nc;
  C = ifft2(fftshift(fftshift(C, 1), 2)) * (Nx * Ny);
  M = sqrt(sum(abs(C).^2, 4));
  A = M >= double(single(thr)) * max(M(:));
  n = zeros(size(A));
  for dx = -1:1
    for dy = -1:1
      if dx || dy, n += circshift(A, [dx dy]); end
    end
  end
  B = C ./ M .* (A & n >= 3);
end
