// The bitmap-to-DIB conversion used for printing: header and colour table first, then the block
// grown once to take the bits straight into their final place.
#include "print/dib_win.h"

#include "print/dib.h"

// The block for the header, the colour table and the bits, or NULL (nothing left allocated).
static HGLOBAL fill_dib(HDC screen, HBITMAP bitmap, BITMAPINFOHEADER bi)
{
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof bi + dib_palette_size(&bi));
    void* p = block ? GlobalLock(block) : NULL;
    if (!p) {
        DWORD error = GetLastError();
        if (block)
            GlobalFree(block);
        SetLastError(error);
        return NULL;
    }
    // The first query, without bits, fills in the colour table and perhaps the image size.
    memcpy(p, &bi, sizeof bi);
    GetDIBits(screen, bitmap, 0, (UINT)bi.biHeight, NULL, (BITMAPINFO*)p, DIB_RGB_COLORS);
    memcpy(&bi, p, sizeof bi);
    if (bi.biSizeImage == 0) {
        bi.biSizeImage = dib_image_size(bi.biBitCount, (uint32_t)bi.biWidth, (uint32_t)bi.biHeight);
        memcpy(p, &bi, sizeof bi);
    }
    GlobalUnlock(block);

    HGLOBAL grown = GlobalReAlloc(block, sizeof bi + dib_palette_size(&bi) + bi.biSizeImage,
                                  GMEM_MOVEABLE);
    if (!grown) {
        DWORD error = GetLastError();
        GlobalFree(block);
        SetLastError(error);
        return NULL;
    }
    p = GlobalLock(grown);
    int lines = p ? GetDIBits(screen, bitmap, 0, (UINT)bi.biHeight, dib_bits(p), (BITMAPINFO*)p,
                              DIB_RGB_COLORS)
                  : 0;
    DWORD error = GetLastError();
    if (p)
        GlobalUnlock(grown);
    if (lines == 0) {
        GlobalFree(grown);
        SetLastError(error);
        return NULL;
    }
    return grown;
}

HGLOBAL bitmap_to_dib(HBITMAP bitmap, HPALETTE palette)
{
    BITMAP bm;
    if (!bitmap || !GetObjectA(bitmap, sizeof bm, &bm))
        return NULL;
    if (!palette)
        palette = (HPALETTE)GetStockObject(DEFAULT_PALETTE);

    BITMAPINFOHEADER bi = {};
    bi.biSize = sizeof bi;
    bi.biWidth = bm.bmWidth;
    bi.biHeight = bm.bmHeight;
    bi.biPlanes = 1;
    bi.biBitCount = dib_bit_count_for((uint16_t)(bm.bmPlanes * bm.bmBitsPixel));
    bi.biCompression = BI_RGB;

    HDC screen = GetDC(NULL);
    HPALETTE previous = SelectPalette(screen, palette, FALSE);
    RealizePalette(screen);
    HGLOBAL block = fill_dib(screen, bitmap, bi);
    DWORD error = GetLastError();
    SelectPalette(screen, previous, TRUE);
    RealizePalette(screen);
    ReleaseDC(NULL, screen);
    if (!block)
        SetLastError(error);  // the caller's step box names the call that failed
    return block;
}
