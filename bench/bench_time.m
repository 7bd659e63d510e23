function t = bench_time(f, reps)
% t = bench_time(f, reps): median wall time of reps calls of f, after one
% warm-up call.
  f();
  times = zeros(reps, 1);
  for r = 1:reps
    t0 = tic;
    f();
    times(r) = toc(t0);
  end
  t = median(times);
end
