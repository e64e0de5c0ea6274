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

// A write that stops short has no code of its own: the disk is full, unless the system said
// otherwise. The last error then names the cause.
static bool write_all(HANDLE file, const void* data, DWORD size)
{
    DWORD written = 0;
    SetLastError(0);
    BOOL done = WriteFile(file, data, size, &written, NULL);
    if (done && written == size)
        return true;
    if (done || GetLastError() == 0)
        SetLastError(ERROR_DISK_FULL);
    return false;
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

// Puts the whole new file `written` in the place of `name`, the older file kept until then.
// The NT family replaces in one call; the Windows 95 family has no such call (its MoveFileExA
// fails), so there the older file is moved aside, the new one renamed, and the older one
// deleted only then, or moved back when the rename failed. False, with the last error of the
// failing call and the older file where it was, when it could not be done.
static bool put_in_place(const char* written, const char* name)
{
    using MoveFileExProc = BOOL(WINAPI*)(LPCSTR, LPCSTR, DWORD);
    auto move_file_ex = reinterpret_cast<MoveFileExProc>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("KERNEL32.DLL"), "MoveFileExA")));
    if (os_platform != VER_PLATFORM_WIN32_WINDOWS && move_file_ex) {
        if (move_file_ex(written, name, MOVEFILE_REPLACE_EXISTING))
            return true;
        if (GetLastError() != ERROR_CALL_NOT_IMPLEMENTED)
            return false;
    }
    char older[OUTPUT_NAME_SIZE];
    if (!sibling_output_name(name, OUTPUT_OLDER_NAME, older)) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return false;
    }
    DeleteFileA(older);  // left by a run that was stopped
    bool had_older = MoveFileA(name, older);
    if (!had_older && GetLastError() != ERROR_FILE_NOT_FOUND)
        return false;
    if (!MoveFileA(written, name)) {
        DWORD error = GetLastError();
        if (had_older)
            MoveFileA(older, name);
        SetLastError(error);
        return false;
    }
    if (had_older)
        DeleteFileA(older);
    return true;
}

// Writes the file, flushes it and closes it; on failure shows the box (with the code of the
// failing call) and returns false, the file closed.
static bool write_and_close(HANDLE file, const BmpLayout& layout, const unsigned char* colours,
                            const unsigned char* pixels)
{
    if (!write_file_body(file, layout, colours, pixels) || !FlushFileBuffers(file)) {
        DWORD error = GetLastError();
        CloseHandle(file);
        show_step_error_code("ファイル出力ができません", STEP, error);
        return false;
    }
    if (!CloseHandle(file)) {
        show_step_error("ファイルが閉じれません", STEP);
        return false;
    }
    return true;
}

// Whether an older file of that name may be replaced: what would keep this program from
// writing it keeps the new file from its place too, and is known before anything is written (a
// read-only file, a directory, a file another program holds; a missing folder). True as well
// when there is none; false with the system's code otherwise.
static bool older_file_replaceable(const char* name)
{
    HANDLE older = CreateFileA(name, GENERIC_WRITE, 0, NULL, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, NULL);
    if (older != INVALID_HANDLE_VALUE) {
        CloseHandle(older);
        return true;
    }
    return GetLastError() == ERROR_FILE_NOT_FOUND;
}

// Overwriting: the older copy stays whole until the new one is, so a full disk or a stop part
// way never leaves a part of a copy in its place. The new one is written beside it and then put
// in its place; whatever fails, the file written beside goes.
static int overwrite_output(const char* name, const BmpLayout& layout,
                            const unsigned char* colours, const unsigned char* pixels)
{
    char writing[OUTPUT_NAME_SIZE];
    bool may_write = false;
    if (name[0] == '\0')
        SetLastError(ERROR_PATH_NOT_FOUND);
    else if (!sibling_output_name(name, OUTPUT_WRITING_NAME, writing))
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
    else
        may_write = older_file_replaceable(name);
    HANDLE file = may_write ? create_output(writing) : INVALID_HANDLE_VALUE;
    if (file == INVALID_HANDLE_VALUE) {
        show_step_error("出力ファイルが作成できません", STEP);
        return -1;
    }
    if (!write_and_close(file, layout, colours, pixels)) {
        DeleteFileA(writing);
        return -1;
    }
    if (!put_in_place(writing, name)) {
        DWORD error = GetLastError();
        DeleteFileA(writing);
        show_step_error_code("出力ファイルが作成できません", STEP, error);
        return -1;
    }
    return 0;
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
    const unsigned char* colours = info.bytes + sizeof(BITMAPINFOHEADER);
    switch (settings.file_name_mode) {
    case OVERWRITE:
        return overwrite_output(name, layout, colours, pixels.bytes);
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

    // A new numbered file stays as far as it was written.
    return write_and_close(file, layout, colours, pixels.bytes) ? 0 : -1;
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
