// Saving the clipboard bitmap as a BMP file (overwrite, automatic numbering or no output), and
// the save-file dialog that sets the output file name.
#include "files/bmp_writer_win.h"

#include <commdlg.h>
#include <stddef.h>
#include <stdio.h>
#include <string.h>

#include "base/ids.h"
#include "base/process_win.h"
#include "files/bmp_format.h"
#include "res/resource.h"
#include "settings/settings.h"

static const char STEP[] = "Create Bitmap File";

enum FileNameMode { OVERWRITE = 0, NUMBERED = 1, NO_OUTPUT = 2 };

// A zero-filled movable block, locked while it lives.
struct LockedBlock {
    HGLOBAL handle = NULL;
    unsigned char* bytes = nullptr;
    DWORD error = 0;  // of the call that failed
    explicit LockedBlock(SIZE_T size)
    {
        handle = GlobalAlloc(GHND, size);
        if (handle)
            bytes = static_cast<unsigned char*>(GlobalLock(handle));
        if (!bytes)
            error = GetLastError();
    }
    ~LockedBlock()
    {
        if (bytes)
            GlobalUnlock(handle);
        if (handle)
            GlobalFree(handle);
    }
    LockedBlock(const LockedBlock&) = delete;
    LockedBlock& operator=(const LockedBlock&) = delete;
};

// Opened for reading, existing only, without sharing: only for telling the two refusals of an
// unknown mode apart.
static bool name_is_taken(const char* name)
{
    HANDLE file = CreateFileA(name, GENERIC_READ, 0, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                              NULL);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(file);
    return true;
}

// Numbering only ever creates new files, and the creation is the test: a name that exists is
// taken whoever holds it (a viewer showing the last copy), and no file is truncated, not even
// one another program made a moment ago. Any other refusal stops the search there, its code
// kept for the box.
static HANDLE create_first_free_numbered(const char* name)
{
    HANDLE file = INVALID_HANDLE_VALUE;
    DWORD refusal = 0;
    auto taken = [&](const char* candidate) {
        file = CreateFileA(candidate, GENERIC_READ | GENERIC_WRITE, 0, NULL, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL, NULL);
        if (file != INVALID_HANDLE_VALUE)
            return false;
        refusal = GetLastError();
        return refusal == ERROR_FILE_EXISTS || refusal == ERROR_ALREADY_EXISTS;
    };
    char chosen[OUTPUT_NAME_SIZE];
    choose_numbered_name(name, settings.output_file_ext_offset, taken, chosen);
    if (file == INVALID_HANDLE_VALUE)
        SetLastError(refusal);
    return file;
}

static HANDLE create_output(const char* name)
{
    return CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, NULL, CREATE_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL, NULL);
}

static bool write_all(HANDLE file, const void* data, DWORD size)
{
    DWORD written = 0;
    return WriteFile(file, data, size, &written, NULL) && written == size;
}

static bool write_file_body(HANDLE file, const BmpLayout& layout, const unsigned char* colours,
                            const unsigned char* pixels)
{
    unsigned char file_header[BMP_FILE_HEADER_SIZE];
    build_bmp_file_header(layout, file_header);
    if (!write_all(file, file_header, sizeof file_header))
        return false;

    unsigned char head[BMP_INFO_HEADER_SIZE + 4 * 256 + BMP_MASKS_SIZE];
    build_bmp_info_header(layout, head);
    DWORD head_size = BMP_INFO_HEADER_SIZE;
    memcpy(head + head_size, colours, 4 * layout.colour_count);
    head_size += 4 * layout.colour_count;
    if (layout.mask_bytes) {
        build_bmp_masks(head + head_size);
        head_size += BMP_MASKS_SIZE;
    }
    if (!write_all(file, head, head_size))
        return false;

    // Always at least one write, so an empty image is one empty write.
    DWORD done = 0;
    do {
        DWORD piece = layout.image_size - done < BMP_WRITE_PIECE ? layout.image_size - done
                                                                 : BMP_WRITE_PIECE;
        if (!write_all(file, pixels + done, piece))
            return false;
        done += piece;
    } while (done < layout.image_size);
    return true;
}

int write_bitmap_file(const char* file_name, HBITMAP bitmap, HDC dc)
{
    BITMAP bm;
    if (GetObjectA(bitmap, sizeof bm, &bm) == 0) {
        show_step_error("ビットマップ情報が取得できません", STEP);
        return -1;
    }
    uint16_t source_depth = (uint16_t)(bm.bmPlanes * bm.bmBitsPixel);
    BmpLayout layout;
    bool sized = bmp_layout_for(bm.bmWidth, bm.bmHeight, source_depth, &layout);

    // Room for a full colour table whatever the depth: the conversion may fill one.
    LockedBlock info(sizeof(BITMAPINFOHEADER) + 4 * 256 + BMP_MASKS_SIZE);
    LockedBlock pixels(sized ? layout.image_size : 0);
    if (!sized || !info.bytes || !pixels.bytes) {
        show_step_error_code("メモリーの確保ができません", STEP,
                             !info.bytes ? info.error : pixels.error);
        return -1;
    }
    auto* header = reinterpret_cast<BITMAPINFOHEADER*>(info.bytes);
    header->biSize = sizeof(BITMAPINFOHEADER);
    header->biWidth = layout.width;
    header->biHeight = layout.height;
    header->biPlanes = 1;
    header->biBitCount = layout.bits_per_pixel;
    // 32-bit rows asked for without bit fields are blue, green, red, unused: exactly what the
    // masks written to the file describe, whatever masks the driver would have chosen.
    header->biCompression = BI_RGB;
    header->biSizeImage = layout.image_size;
    if (GetDIBits(dc, bitmap, 0, (UINT)layout.height, pixels.bytes,
                  reinterpret_cast<BITMAPINFO*>(info.bytes), DIB_RGB_COLORS) == 0) {
        show_step_error("ビットマップの取得に失敗しました", STEP);
        return -1;
    }

    char name[OUTPUT_NAME_SIZE];
    strncpy(name, file_name, sizeof name - 1);
    name[sizeof name - 1] = '\0';
    HANDLE file = INVALID_HANDLE_VALUE;
    const char* refusal = "出力ファイルが作成できません";
    switch (settings.file_name_mode) {
    case OVERWRITE:
        file = create_output(name);
        break;
    case NUMBERED:
        file = create_first_free_numbered(name);
        break;
    case NO_OUTPUT:
        return 0;
    default:
        // No file is made; an existing one is reported as not writable.
        if (name_is_taken(name))
            refusal = "ファイル出力ができません";
        break;
    }
    if (file == INVALID_HANDLE_VALUE) {
        show_step_error(refusal, STEP);
        return -1;
    }

    if (!write_file_body(file, layout, info.bytes + sizeof(BITMAPINFOHEADER), pixels.bytes)) {
        show_step_error("ファイル出力ができません", STEP);
        CloseHandle(file);
        return -1;
    }
    FlushFileBuffers(file);
    if (!CloseHandle(file)) {
        show_step_error("ファイルが閉じれません", STEP);
        return -1;
    }
    return 0;
}

// The save-file record without the fields Windows 2000 added: the common dialogs of Windows 95
// and NT 4.0 refuse any other size.
static constexpr DWORD SAVE_RECORD_SIZE = offsetof(OPENFILENAMEA, lpTemplateName) + sizeof(LPCSTR);
static_assert(SAVE_RECORD_SIZE == 76, "the save-file record of Windows 95");

int choose_output_file(HWND dialog, SettingsRecord& record)
{
    char name[OUTPUT_NAME_SIZE] = "*.bmp";
    if (record.output_file_name[0] != ' ' && record.output_file_name[0] != '\0') {
        memcpy(name, record.output_file_name, sizeof name);
        name[sizeof name - 1] = '\0';
    }
    OPENFILENAMEA ofn = {};
    ofn.lStructSize = SAVE_RECORD_SIZE;
    ofn.hwndOwner = dialog;
    ofn.lpstrFilter = "ﾋﾞｯﾄﾏｯﾌﾟﾌｧｲﾙ(*.bmp)\0*.bmp\0";
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = name;
    ofn.nMaxFile = sizeof name;
    ofn.lpstrTitle = "ファイル設定";
    ofn.Flags = OFN_HIDEREADONLY | OFN_CREATEPROMPT;
    ofn.lpstrDefExt = "bmp";
    if (GetSaveFileNameA(&ofn)) {
        memcpy(record.output_file_name, name, sizeof name);
        record.output_file_ext_offset = ofn.nFileExtension;
        SetDlgItemTextA(dialog, IDC_EXT_FILE_NAME_SHOWN, name);
    } else {
        DWORD error = CommDlgExtendedError();
        if (error != 0) {
            char text[100];
            snprintf(text, sizeof text, "ファイル名を設定できません\n(ERR=%lu)",
                     (unsigned long)error);
            MessageBeep(MB_ICONHAND);
            MessageBoxA(dialog, text, APP_TITLE, MB_ICONHAND);
        }
    }
    SetWindowPos(dialog, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    return 0;
}
