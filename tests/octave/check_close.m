function check_close(got, want, tol, what)
% check_close(got, want, tol, what): fails with a message naming the case
% when the relative error of got against want reaches tol.
  if ~isequal(size(got), size(want))
    error('%s: size [%s] differs from [%s]', what, num2str(size(got)), num2str(size(want)));
  end
  scale = max(norm(want(:)), realmin);
  e = norm(got(:) - want(:)) / scale;
  if ~(e < tol)
    error('%s: relative error %g is not below %g', what, e, tol);
  end
end
