// Writer of the "nddf" array file: a little-endian int32 header (total
// length, "nddf", ndims, sizes, four-letter tag) followed by the raw
// element bytes. Each call traces two lines on standard output.
#ifndef VTX_NDDF_H
#define VTX_NDDF_H

// Writes ndims sizes, the tag and the elements at data to path, replacing
// any file there. Result 0 when complete; 1 when a write or the close
// failed (file closed, partly written); -1, with no file created, for an
// unknown tag, an unopenable path or unusable arguments (null path, tag or
// data, ndims outside 0 ... 8, null or negative sizes, a file beyond 2 GB).
int write_nddf(const char *path, const void *data, const char *tag, int ndims, const int *dims);

#endif
