function grappa_fixture(path)
% grappa_fixture(path): the phantom's acquired lines and the Octave grappa
% module's outputs on them, for the Python tests to repeat bit for bit.
% Two calls: R = 2 and R = 3, each with 16 centre lines, 80 x 64 x 4.
% Every array is written as [ndims sizes iscomplex] and its values
% (interleaved when complex), all little-endian doubles.
  M = 80; N = 64; L = 4;
  p = vtx_phantom(M, N, L);
  fid = fopen(path, 'w');
  for R = [2 3]
    lines = unique([1:R:N, N/2 - 7:N/2 + 8])';
    data = p.k(:, lines, :);
    [k, img, par] = grappa([M N L], data, lines);
    put(fid, data); put(fid, lines); put(fid, k); put(fid, img);
    put(fid, numel(par));
    for j = 1:numel(par)
      put(fid, par(j).dk); put(fid, double(par(j).pattern)); put(fid, par(j).coef);
    end
  end
  fclose(fid);
end

function put(fid, x)
  fwrite(fid, [ndims(x), size(x), iscomplex(x)], 'double', 0, 'ieee-le');
  if iscomplex(x)
    v = [real(x(:)).'; imag(x(:)).'];
    fwrite(fid, v(:), 'double', 0, 'ieee-le');
  else
    fwrite(fid, x(:), 'double', 0, 'ieee-le');
  end
end
