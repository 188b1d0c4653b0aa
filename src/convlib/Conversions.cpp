// The four conversions of the library, as C++ calls that throw Error on failure.
#include "convlib/Conversions.h"

#include "convlib/AtomicFile.h"
#include "convlib/BitmapReader.h"
#include "convlib/ExtendedBitmapWriter.h"
#include "convlib/FileIo.h"
#include "convlib/Targa.h"
#include "convlib/WorkingBitmaps.h"

namespace kovar {

namespace {

Image readBitmap(const std::string &path)
{
    return decodeBitmap(readFileBytes(path), path);
}

Image readTarga(const std::string &path)
{
    return decodeTarga(readFileBytes(path), path);
}

} // namespace

void targaFromExtendedBitmap(const std::string &tga, const std::string &source)
{
    writeFileAtomically(tga, encodeTarga(readBitmap(source)));
}

void targaSplit(const std::string &tga, const std::string &colourBmp, const std::string &alphaBmp)
{
    const Image image = readTarga(tga);
    AtomicFile colour(colourBmp);
    AtomicFile alpha(alphaBmp);
    colour.write(encodeColourBitmap(image));
    alpha.write(encodeAlphaBitmap(image));
    AtomicFile::commitBoth(colour, alpha);
}

void targaJoin(const std::string &tga, const std::string &colourBmp, const std::string &alphaBmp)
{
    const Image colour = readBitmap(colourBmp);
    const Image alpha = readBitmap(alphaBmp);
    writeFileAtomically(tga, encodeTarga(joinColourAndAlpha(colour, colourBmp, alpha, alphaBmp)));
}

void targaToExtendedBitmap(const std::string &tga, const std::string &output, int format)
{
    checkFormat(format, output); // before reading, so a bad code names itself first
    // The finished texture is the user's file: it reaches the disk before it replaces the old.
    writeFileAtomically(output, encodeExtendedBitmap(readTarga(tga), format, output),
                        /*durable=*/true);
}

} // namespace kovar
