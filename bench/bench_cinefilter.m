function bench_cinefilter()
% cinefilter against Octave's filter along the frames, on 128 x 128 x 200
% frames for each of 8 coils (one call per coil on both sides).
  randn('seed', 1);
  k = complex(randn(128, 128, 200, 8), randn(128, 128, 200, 8));
  printf('%-30s %12s %12s %8s\n', 'cinefilter case', 'cinefilter ms', 'octave ms', 'ratio');
  cases = {{'first order', 0.1, [1 -0.9]}, {'4 taps / 3 poles', [0.2 0.3 0.3 0.2], [1 -0.5 0.2 -0.1]}};
  for c = 1:numel(cases)
    b = cases{c}{2}; a = cases{c}{3};
    tc = bench_time(@() per_coil(@(x) cinefilter(x, b, a), k), 3);
    tp = bench_time(@() per_coil(@(x) filter(b, a, x, [], 3), k), 3);
    printf('%-30s %12.1f %12.1f %8.2f\n', ['128x128x200x8 ' cases{c}{1}], 1e3 * tc, 1e3 * tp, tc / tp);
  end
end

function y = per_coil(f, k)
  y = zeros(size(k));
  for c = 1:size(k, 4)
    y(:, :, :, c) = f(k(:, :, :, c));
  end
end
