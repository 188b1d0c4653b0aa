// The four conversions of the library, as C++ calls that throw Error on failure.
#pragma once

#include <string>

namespace kovar {

// The texture at `source`, in any bitmap form the library reads, written to `tga` as a
// 32-bit Targa image.
void targaFromExtendedBitmap(const std::string &tga, const std::string &source);

// The Targa image split into a 24-bit colour bitmap and an 8-bit grey alpha bitmap. Both are
// prepared in full before either replaces its file.
void targaSplit(const std::string &tga, const std::string &colourBmp, const std::string &alphaBmp);

// A colour bitmap and an alpha bitmap of the same size joined into a 32-bit Targa image.
void targaJoin(const std::string &tga, const std::string &colourBmp, const std::string &alphaBmp);

// The Targa image written to `output` as an FS2004 texture in form `format`.
void targaToExtendedBitmap(const std::string &tga, const std::string &output, int format);

} // namespace kovar
