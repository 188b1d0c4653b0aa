/* libkovar: converts FS2004 textures to and from Targa images and working bitmaps.
 *
 * Four calls move a texture through the files the program works on:
 *
 *   TargaFromExtendedBitmap(tga, source, buffer)
 *       reads the texture `source` (any bitmap form listed below, detected by content) and
 *       writes it to `tga` as a 32-bit Targa image (BGRA, uncompressed).
 *   TargaSplit(tga, colourBmp, alphaBmp, buffer)
 *       reads the Targa image `tga` and writes its colour part to `colourBmp` (a 24-bit bitmap:
 *       54-byte header, then blue, green, red triples, rows bottom-up, each row padded to a
 *       multiple of 4 bytes) and its alpha part to `alphaBmp` (an 8-bit bitmap with a grey
 *       palette: grey level = alpha).
 *   TargaJoin(tga, colourBmp, alphaBmp, buffer)
 *       reads a colour bitmap and an alpha bitmap of the same size and writes their union to
 *       `tga` as a 32-bit Targa image. The alpha of a pixel is the grey level of the alpha
 *       bitmap (the mean of red, green and blue for a bitmap that is not grey).
 *   TargaToExtendedBitmap(tga, output, buffer, format)
 *       reads the Targa image `tga` and writes it to `output` as an FS2004 texture in the form
 *       the format code names.
 *
 * Paths are zero-terminated 8-bit strings (UTF-8 on Linux). `buffer` is the caller's message
 * buffer of KOVAR_MESSAGE_SIZE bytes, or null.
 *
 * Result: KOVAR_OK (0) on success, when the message buffer gets an empty string. On failure
 * a non-zero KovarStatus, and the buffer gets a zero-terminated message of at most
 * KOVAR_MESSAGE_SIZE - 1 bytes that names the file and the reason, for example
 * "/tmp/x/targa.tga: not a 32-bit Targa image (image type 10, 32 bits per pixel)".
 * A failed call leaves every output file as it was: outputs are written to a temporary file in
 * the same folder and renamed over the old file only when complete. No C++ exception leaves a
 * call.
 *
 * Textures read: Windows bitmaps ("BM") with a 40-, 52-, 56-, 108- or 124-byte info header,
 * rows bottom-up (positive height) or top-down, width and height 1 to KOVAR_MAX_DIMENSION:
 *   - uncompressed 8-bit with a palette (the 4th byte of a palette entry is its alpha),
 *     16-bit 5-5-5 (opaque), 24-bit (opaque), 32-bit BGRA;
 *   - bit-field masks, 16- or 32-bit (5-6-5, 4-4-4-4, 1-5-5-5, ...);
 *   - DXT1 (1-bit alpha from each block's mode), DXT3 and DXT5 block data, stored bottom-up.
 * The optional 20-byte "FS70" block before the pixel data and any mip-maps after the top level
 * are accepted and ignored; only the top level is read.
 *
 * Calls are synchronous; a call may use several threads internally. The library keeps no state
 * between calls.
 */
#ifndef KOVAR_H
#define KOVAR_H

/* Exported from libkovar.so; everything else in the library is hidden. */
#define KOVAR_API __attribute__((visibility("default")))

#ifdef __cplusplus
extern "C" {
#endif

/* Size of the caller's message buffer, terminating zero included. */
#define KOVAR_MESSAGE_SIZE 1024

/* Largest width or height of an image, in pixels. */
#define KOVAR_MAX_DIMENSION 8192

/* Format codes of TargaToExtendedBitmap. */
enum KovarFormat {
    /* DXT1 with 1-bit alpha (alpha below 128 is transparent) and a full mip chain down to
     * 1 x 1, each level a 2 x 2 box filter of the one above; a mip texel is transparent when
     * at least three of its four source texels are. With the "FS70" block. The usual form of
     * photo-real ground tiles. */
    KOVAR_FORMAT_DXT1_MIPMAPPED = 11,
    /* The same file as KOVAR_FORMAT_DXT1_MIPMAPPED, field for field: headers, "FS70" block, mip
     * chain and alpha are identical and every reader of code 11 files reads it. Only the
     * colours of the DXT1 blocks differ: the encoder searches harder for them, which lowers the
     * colour error for about two and a half times the encoding time. */
    KOVAR_FORMAT_DXT1_MIPMAPPED_BETTER = 12
};

/* Result of every call. */
enum KovarStatus {
    KOVAR_OK = 0,
    KOVAR_ERROR_ARGUMENT = 1,    /* a path is null or empty, or the format code is not one of
                                    KovarFormat */
    KOVAR_ERROR_OPEN = 2,        /* an input file cannot be opened or read */
    KOVAR_ERROR_FORMAT = 3,      /* an input is not a valid file of its kind: wrong magic,
                                    truncated, sizes that do not add up */
    KOVAR_ERROR_UNSUPPORTED = 4, /* a valid file in a form not read: bit depth, compression */
    KOVAR_ERROR_DIMENSIONS = 5,  /* a width or height of 0 or above KOVAR_MAX_DIMENSION, or a
                                    colour and an alpha bitmap of different sizes */
    KOVAR_ERROR_WRITE = 6,       /* an output file cannot be written */
    KOVAR_ERROR_MEMORY = 7,      /* not enough memory */
    KOVAR_ERROR_INTERNAL = 8     /* any other failure */
};

KOVAR_API int TargaFromExtendedBitmap(const char *tga, const char *source, char *buffer);
KOVAR_API int TargaSplit(const char *tga, const char *colourBmp, const char *alphaBmp,
                         char *buffer);
KOVAR_API int TargaJoin(const char *tga, const char *colourBmp, const char *alphaBmp, char *buffer);
KOVAR_API int TargaToExtendedBitmap(const char *tga, const char *output, char *buffer, int format);

/* A short English name of a status ("file is malformed"); "unknown status" for other values. */
KOVAR_API const char *KovarStatusText(int status);

/* The library's version, "major.minor.patch". */
KOVAR_API const char *KovarVersion(void);

#ifdef __cplusplus
}
#endif

#endif /* KOVAR_H */
