function bench_unfold()
% unfold against the same mirror / fft / weight / ifft chain written with
% Octave's fft and ifft, on 128 x 128 x 200 frames x 8 coils, one thread.
% 200 frames mirror to 398 = 2 x 199 bins, which KISS FFT transforms with
% its generic radix-199 butterfly; 129 frames mirror to 256 bins, the
% split-radix path.
  randn('seed', 1);
  printf('%-30s %12s %12s %8s\n', 'unfold case', 'unfold ms', 'octave ms', 'ratio');
  for T = [200 129]
    s = [128 128 1 T 8];
    k = complex(randn(s), randn(s));
    [~, filt] = unfold(k(:, :, :, :, 1), 'h', 0.1);
    tu = bench_time(@() unfold(k, 'h', 0.1), 1);
    tp = bench_time(@() peer_unfold(k, filt), 1);
    printf('%-30s %12.1f %12.1f %8.2f\n', sprintf('128x128x%dx8 high bw=0.1', T), 1e3 * tu, ...
           1e3 * tp, tu / tp);
  end
end

function y = peer_unfold(k, filt)
  T = size(k, 4);
  x = k(:, :, :, [1:T, T-1:-1:2], :);
  x = ifft(fft(x, [], 4) .* reshape(filt, 1, 1, 1, []), [], 4);
  y = x(:, :, :, 1:T, :);
end
