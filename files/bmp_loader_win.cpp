// Loading a dropped BMP file: read whole, checked so that nothing past the bytes read is used,
// and made into a bitmap compatible with the display.
#include "files/bmp_loader_win.h"

#include "base/process_win.h"
#include "files/bmp_format.h"

static const char STEP[] = "Load Bitmap";
static const char NOT_A_BITMAP[] = "このファイルはビットマップファイルではありません";
static const char CANNOT_EXPAND[] = "ビットマップファイルを展開することができません";
static const char CANNOT_HANDLE[] = "ビットマップファイルを取り扱えません";

static const char* check_text(BmpLoadCheck check)
{
    switch (check) {
    case BMP_NOT_A_BITMAP:
        return NOT_A_BITMAP;
    case BMP_CANNOT_EXPAND:
        return CANNOT_EXPAND;
    default:
        return CANNOT_HANDLE;
    }
}

// A fixed, zero-filled block; freed when it goes.
struct FixedBlock {
    HGLOBAL handle;
    unsigned char* bytes = nullptr;
    explicit FixedBlock(SIZE_T size) : handle(GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, size)) {}
    ~FixedBlock()
    {
        if (bytes)
            GlobalUnlock(handle);
        if (handle)
            GlobalFree(handle);
    }
    FixedBlock(const FixedBlock&) = delete;
    FixedBlock& operator=(const FixedBlock&) = delete;
};

// The device context of a window, released when it goes.
struct WindowDc {
    HWND window;
    HDC dc;
    explicit WindowDc(HWND w) : window(w), dc(GetDC(w)) {}
    ~WindowDc()
    {
        if (dc)
            ReleaseDC(window, dc);
    }
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;
};

// Reads the file after its header into `block`: the number of bytes read, or 0 after a step
// error box.
static DWORD read_file_block(HANDLE file, FixedBlock& block, DWORD size)
{
    if (!block.handle) {
        show_step_error("ビットマップ展開するメモリーが足りません", STEP);
        return 0;
    }
    block.bytes = static_cast<unsigned char*>(GlobalLock(block.handle));
    if (!block.bytes) {
        show_step_error("ビットマップ展開するメモリーを確保できません", STEP);
        return 0;
    }
    // A file shorter than its size field delivers fewer bytes.
    DWORD got = 0;
    if (!ReadFile(file, block.bytes, size, &got, NULL) || got == 0) {
        show_step_error(NOT_A_BITMAP, STEP);
        return 0;
    }
    return got;
}

HBITMAP load_bitmap_file(HWND window, const char* file_name)
{
    HANDLE file = CreateFileA(file_name, GENERIC_READ, 0, NULL, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) {
        show_step_error("ファイルを開くことができません", STEP);
        return NULL;
    }
    unsigned char head[BMP_FILE_HEADER_SIZE] = {0};
    DWORD head_got = 0;
    if (!ReadFile(file, head, sizeof head, &head_got, NULL))
        head_got = 0;
    BmpFileHeader header = parse_bmp_file_header(head, head_got);
    if (check_bmp_file_header(header, head_got) != BMP_LOAD_OK) {
        show_step_error(NOT_A_BITMAP, STEP);
        CloseHandle(file);
        return NULL;
    }

    // The block never needs to be larger than what follows the header: a size field that
    // claims more than the file holds must not cost hundreds of megabytes.
    DWORD file_length = GetFileSize(file, NULL);
    DWORD rest = file_length != INVALID_FILE_SIZE && file_length > BMP_FILE_HEADER_SIZE
                     ? file_length - BMP_FILE_HEADER_SIZE
                     : 0;
    DWORD block_size = header.file_size < rest ? header.file_size : rest;
    if (block_size == 0)
        block_size = 1;
    FixedBlock block(block_size);
    DWORD got = read_file_block(file, block, block_size);
    CloseHandle(file);
    if (got == 0)
        return NULL;
    BmpBlockView view;
    BmpLoadCheck check = check_bmp_block(block.bytes, got, header.pixel_offset, &view);
    if (check != BMP_LOAD_OK) {
        show_step_error(check_text(check), STEP);
        return NULL;
    }

    // The header the system knows, whatever header the file has; the 95 family takes only
    // some bit-field masks, and shows others wrongly rather than refuse them.
    BmpSystemInfo system_info;
    check = build_bmp_system_info(block.bytes, view, os_platform == 1, &system_info);
    if (check != BMP_LOAD_OK) {
        show_step_error(check_text(check), STEP);
        return NULL;
    }

    WindowDc dc(window);
    if (!dc.dc) {
        show_step_error(CANNOT_EXPAND, STEP);
        return NULL;
    }
    const auto* info = reinterpret_cast<const BITMAPINFO*>(system_info.bytes);
    HBITMAP bitmap = CreateDIBitmap(dc.dc, &info->bmiHeader, CBM_INIT,
                                    block.bytes + view.pixels_at, info, DIB_RGB_COLORS);
    if (!bitmap) {
        show_step_error(CANNOT_EXPAND, STEP);
        return NULL;
    }
    // The size limit is applied to a bitmap already made: a file the system cannot expand
    // reports that first.
    if (check_bmp_size(view) != BMP_LOAD_OK) {
        show_step_error(CANNOT_HANDLE, STEP);
        DeleteObject(bitmap);
        return NULL;
    }
    capture_width = (int16_t)(view.width < 0 ? -view.width : view.width);
    capture_height = (int16_t)(view.height < 0 ? -view.height : view.height);
    return bitmap;
}
