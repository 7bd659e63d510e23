function bench_grappa()
% grappa (calibration plus synthesis) against a vectorised Octave GRAPPA
% solving the same least-squares problems with backslash, on the phantom:
% 256 x 256, R = 2 with 24 centre lines, kernel 2x5, one thread.
  M = 256; N = 256;
  lines = unique([1:2:N, N / 2 - 11:N / 2 + 12])';
  printf('%-22s %12s %12s %8s %10s\n', 'grappa case', 'grappa ms', 'octave ms', 'ratio', 'max |dk|');
  for L = [8 32]
    p = vtx_phantom(M, N, L);
    data = p.k(:, lines, :);
    tg = bench_time(@() grappa([M N L], data, lines, '2x5'), 3);
    tp = bench_time(@() peer_grappa([M N L], data, lines), 3);
    kg = grappa([M N L], data, lines, '2x5');
    kp = peer_grappa([M N L], data, lines);
    d = max(abs(kg(:) - kp(:))) / max(abs(kp(:)));
    printf('%-22s %12.0f %12.0f %8.2f %10.1e\n', sprintf('%dx%dx%d R=2+24', M, N, L), ...
           1e3 * tg, 1e3 * tp, tg / tp, d);
  end
end
