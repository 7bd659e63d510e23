function m = demo_shrink(m, r)
% m = demo_shrink(m, r): shrinks a logical mask by r pixels in each direction.
  for k = 1:r
    m = m & circshift(m, 1, 1) & circshift(m, -1, 1) & circshift(m, 1, 2) & circshift(m, -1, 2);
  end
end
