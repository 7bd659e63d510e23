function demo_png(path, img)
% demo_png(path, img): writes the magnitude of img as an 8-bit grey PNG,
% scaled to its own maximum.
  a = abs(img);
  m = max(a(:));
  if m > 0, a = a / m; end
  imwrite(uint8(round(255 * a)), path);
end
