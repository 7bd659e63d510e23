function bench_xform2()
% xform2 against Octave's fft2/ifft2 on the same complex arrays, one thread;
% vtxcopy, a module that only copies its input to its output through the
% host layer, shows what the host boundary itself costs.
  randn('seed', 1);
  printf('%-22s %12s %12s %8s\n', 'xform2 case', 'xform2 ms', 'octave ms', 'ratio');
  for sz = {[256 256 32], [192 192 32]}
    s = sz{1};
    x = complex(randn(s), randn(s));
    if exist('vtxcopy') == 3
      tc = bench_time(@() copy_only(x), 7);
      tp = bench_time(@() fft2(x), 7);
      printf('%-22s %12.1f %12.1f %8.2f\n', sprintf('%dx%dx%d copy only', s), 1e3 * tc, 1e3 * tp, tc / tp);
    end
    for dir = 'fb'
      if dir == 'f'
        peer = @() fft2(x);
      else
        peer = @() ifft2(x);
      end
      tx = bench_time(@() quiet_xform2(x, dir), 7);
      tp = bench_time(peer, 7);
      printf('%-22s %12.1f %12.1f %8.2f\n', sprintf('%dx%dx%d %c', s, dir), 1e3 * tx, 1e3 * tp, tx / tp);
    end
  end
end

function y = quiet_xform2(x, dir)
  % xform2 prints one empty line per call; keep it off the report
  evalc('y = xform2(x, dir);');
end

function y = copy_only(x)
  y = vtxcopy(x);
end
