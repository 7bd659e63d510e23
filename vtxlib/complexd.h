// One complex double as two consecutive doubles, real part first. Working
// buffers are contiguous column-major arrays of it.
#ifndef VTX_COMPLEXD_H
#define VTX_COMPLEXD_H

struct ComplexD {
  double re;
  double im;
};

#endif
