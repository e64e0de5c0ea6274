// Start-up, the settings file and the main window, seen from outside the running program.
#include <windows.h>
#include <commdlg.h>
#include <gtest/gtest.h>

#include <cstddef>
#include <vector>

#include "app/dde_commands.h"
#include "base/ids.h"
#include "settings/settings.h"
#include "tests/system/harness_win.h"

namespace {

// Settings file offsets the tests look at.
constexpr size_t OFF_PROCESSING_SPEED = offsetof(SettingsRecord, processing_speed);
constexpr size_t OFF_WINDOW_LEFT = offsetof(SettingsRecord, window_left);
constexpr size_t OFF_WINDOW_TOP = offsetof(SettingsRecord, window_top);
constexpr size_t OFF_WINDOW_RIGHT = offsetof(SettingsRecord, window_right);
constexpr size_t OFF_WINDOW_BOTTOM = offsetof(SettingsRecord, window_bottom);
constexpr size_t OFF_WINDOW_SHOW_CMD = offsetof(SettingsRecord, window_show_cmd);
constexpr size_t OFF_PRINTER_CHOICE = offsetof(SettingsRecord, printer_choice);
// The six hot-key fields in a row: modifier and key of each of the three.
constexpr size_t OFF_HOTKEYS = offsetof(SettingsRecord, hotkey_full_mod);
// The first fields of blocks E and F.
constexpr size_t BLOCK_E = offsetof(SettingsRecord, print_title);
constexpr size_t BLOCK_F = offsetof(SettingsRecord, binarize);

struct Pair {
    UINT mod;
    UINT vk;
};
const Pair DEFAULT_PAIRS[3] = {{0, VK_SNAPSHOT}, {MOD_ALT, VK_SNAPSHOT}, {MOD_ALT, 'P'}};

// True when this process cannot have the key pair because another program holds it.
bool held_elsewhere(Pair p)
{
    if (RegisterHotKey(NULL, 0x5000, p.mod, p.vk)) {
        UnregisterHotKey(NULL, 0x5000);
        return false;
    }
    return true;
}

void expect_hotkeys_in_file(const Bytes& ini, const uint32_t expected[6])
{
    for (int i = 0; i < 6; i++)
        EXPECT_EQ((uint32_t)i32_at(ini, OFF_HOTKEYS + 4 * i), expected[i]) << "hot-key field " << i;
}

// Brings the window back from the task bar the way its Restore item does.
void restore_and_expect_at(HWND main, int left, int top)
{
    SendMessageA(main, WM_SYSCOMMAND, SC_RESTORE, 0);
    EXPECT_FALSE(IsIconic(main));
    RECT rc{};
    GetWindowRect(main, &rc);
    EXPECT_EQ(rc.left, left);
    EXPECT_EQ(rc.top, top);
    EXPECT_EQ(rc.right - rc.left, 180);
    EXPECT_EQ(rc.bottom - rc.top, 42);
}

bool contains_colour(HWND hwnd, COLORREF colour);

// The status line reaches the screen in the program's own time; a standby line stays.
bool wait_colour(HWND hwnd, COLORREF colour)
{
    DWORD start = GetTickCount();
    while (!contains_colour(hwnd, colour) && GetTickCount() - start < 5000)
        pump_messages(50);
    return contains_colour(hwnd, colour);
}

bool contains_colour(HWND hwnd, COLORREF colour)
{
    RECT rc;
    GetClientRect(hwnd, &rc);
    HDC dc = GetDC(hwnd);
    bool found = false;
    for (int y = 0; y < rc.bottom && !found; y++)
        for (int x = 0; x < rc.right && !found; x++)
            found = GetPixel(dc, x, y) == colour;
    ReleaseDC(hwnd, dc);
    return found;
}

// The program's dialogs, hidden ones included: a message box exists, and answers requests,
// before it is first shown.
std::vector<HWND> boxes_of(const Kavrel& k)
{
    return windows_of(k.pi.dwProcessId, "#32770", false);
}

bool wait_destroyed(HWND hwnd)
{
    DWORD start = GetTickCount();
    while (IsWindow(hwnd) && GetTickCount() - start < (DWORD)BOX_TIMEOUT_MS)
        pump_messages(20);
    return !IsWindow(hwnd);
}

struct StartUpBox {
    std::string title;
    std::string text;
};

// Answers each message box start-up shows, one after another, until the program takes
// requests with none open: an answer given while no box exists comes from the program's own
// message loop, and a second one is taken after all that start-up posted (the hot keys are
// installed from a posted message, each taken one named in a box of its own). `*main` is the
// main window then, or NULL when it never came to that.
std::vector<StartUpBox> answer_start_up_boxes(const Kavrel& k, HWND* main)
{
    std::vector<StartUpBox> boxes;
    *main = wait_window(k.pi.dwProcessId, APP_TITLE, false, START_TIMEOUT_MS);
    if (!*main)
        return boxes;
    RemoteClient client;
    DWORD start = GetTickCount();
    int answers_without_a_box = 0;
    while (answers_without_a_box < 2) {
        if (GetTickCount() - start > (DWORD)START_TIMEOUT_MS) {
            *main = NULL;
            break;
        }
        int reply = client.ask(*main, 950);
        std::vector<HWND> open = boxes_of(k);
        if (open.empty()) {
            if (reply == REPLY_ACCEPTED)
                answers_without_a_box++;
            continue;
        }
        answers_without_a_box = 0;
        // Its texts are set before its own loop answers.
        client.ask(*main, 950);
        HWND box = open.front();
        boxes.push_back({window_text(box), box_text(box)});
        press_ok(box);
        if (!wait_destroyed(box)) {
            *main = NULL;
            break;
        }
    }
    return boxes;
}

}  // namespace

TEST(StartUp, FirstStartWritesDefaultsAndShowsMinimisedAtOneOne)
{
    std::string dir = fresh_work_dir("first-start");
    Kavrel k(dir);
    HWND main = k.ready();
    ASSERT_TRUE(main) << "no main window";
    ASSERT_TRUE(IsWindowVisible(main));

    Bytes ini = read_file(ini_path(dir));
    ASSERT_EQ(ini.size(), 5968u);
    for (size_t i = 0; i < 5164; i++)
        ASSERT_EQ(ini[i], 0) << "stored printer byte " << i << " of a first start";
    EXPECT_EQ(i32_at(ini, OFF_PROCESSING_SPEED), 2);
    EXPECT_EQ(i32_at(ini, OFF_PRINTER_CHOICE), 1);
    EXPECT_EQ(i32_at(ini, OFF_WINDOW_LEFT), 1);
    EXPECT_EQ(i32_at(ini, OFF_WINDOW_TOP), 1);
    EXPECT_EQ(i32_at(ini, OFF_WINDOW_SHOW_CMD), 0) << "the minimise repair is not saved at start";
    const uint32_t defaults[6] = {0, 44, 1, 44, 1, 80};
    expect_hotkeys_in_file(ini, defaults);

    EXPECT_TRUE(IsIconic(main));
    EXPECT_EQ(window_text(main), APP_TITLE);
    restore_and_expect_at(main, 1, 1);
    SendMessageA(main, WM_SYSCOMMAND, SC_MINIMIZE, 0);

    for (const Pair& p : DEFAULT_PAIRS)
        EXPECT_TRUE(held_elsewhere(p)) << "hot key " << p.mod << "+" << p.vk << " not installed";
    std::vector<HWND> boxes = boxes_of(k);
    EXPECT_TRUE(boxes.empty()) << "a message box: " << box_text(boxes.front());

    DWORD code = 1;
    ASSERT_TRUE(k.close(&code));
    EXPECT_EQ(code, 0u);
    ini = read_file(ini_path(dir));
    ASSERT_EQ(ini.size(), 5968u);
    EXPECT_EQ(i32_at(ini, OFF_WINDOW_SHOW_CMD), 6) << "closed while minimised";
    EXPECT_EQ(i32_at(ini, OFF_WINDOW_LEFT), 1);
    EXPECT_EQ(i32_at(ini, OFF_WINDOW_TOP), 1);
    EXPECT_EQ(i32_at(ini, OFF_WINDOW_RIGHT), 181);
    EXPECT_EQ(i32_at(ini, OFF_WINDOW_BOTTOM), 43);
    for (const Pair& p : DEFAULT_PAIRS)
        EXPECT_FALSE(held_elsewhere(p)) << "hot key " << p.mod << "+" << p.vk << " kept after exit";
}

TEST(StartUp, SecondStartEndsQuietlyLeavingOneInstance)
{
    std::string dir = fresh_work_dir("second-start");
    Kavrel first(dir);
    ASSERT_TRUE(first.ready());
    Kavrel second(dir);
    DWORD code = 1;
    ASSERT_TRUE(second.wait_exit(START_TIMEOUT_MS, &code)) << "second instance still running";
    EXPECT_EQ(code, 0u);
    EXPECT_EQ(count_main_windows(), 1);
    EXPECT_TRUE(boxes_of(first).empty());
    EXPECT_TRUE(first.close());
}

TEST(StartUp, HotKeyHeldByAnotherProgramIsNamedOnceAndTheOthersWork)
{
    ASSERT_TRUE(RegisterHotKey(NULL, 0x6000, 0, VK_SNAPSHOT));
    std::string dir = fresh_work_dir("hotkey-taken");
    Kavrel k(dir);
    HWND main = NULL;
    std::vector<StartUpBox> boxes = answer_start_up_boxes(k, &main);
    ASSERT_TRUE(main);
    ASSERT_FALSE(boxes.empty()) << "no message for the taken hot key";
    EXPECT_EQ(boxes[0].title, APP_TITLE);
    EXPECT_EQ(boxes[0].text, "ホットキー(全画面コピー)の設定に失敗しました\n"
                             "別のアプリケーションが設定しています");
    for (size_t i = 1; i < boxes.size(); i++)
        ADD_FAILURE() << "a second message: " << boxes[i].text;
    EXPECT_TRUE(held_elsewhere(DEFAULT_PAIRS[1]));
    EXPECT_TRUE(held_elsewhere(DEFAULT_PAIRS[2]));
    UnregisterHotKey(NULL, 0x6000);
    EXPECT_TRUE(k.close());
}

TEST(StartUp, ShownWindowStoresItsPlaceAndMinimiseStoresSix)
{
    std::string dir = fresh_work_dir("placement");
    Bytes ini = default_settings_file();
    put_i32(ini, OFF_WINDOW_LEFT, 200);
    put_i32(ini, OFF_WINDOW_TOP, 150);
    put_i32(ini, OFF_WINDOW_SHOW_CMD, SW_SHOWNORMAL);
    write_file(ini_path(dir), ini);

    {
        Kavrel k(dir);
        HWND main = k.ready();
        ASSERT_TRUE(main);
        EXPECT_FALSE(IsIconic(main));
        RECT rc;
        GetWindowRect(main, &rc);
        EXPECT_EQ(rc.left, 200);
        EXPECT_EQ(rc.top, 150);
        EXPECT_EQ(rc.right - rc.left, 180);
        EXPECT_EQ(rc.bottom - rc.top, 42);
        EXPECT_EQ(window_text(main), APP_TITLE);
        EXPECT_TRUE(wait_colour(main, RGB(0, 0, 250))) << "no standby status line";
        ASSERT_TRUE(k.close());
    }
    ini = read_file(ini_path(dir));
    EXPECT_EQ(i32_at(ini, OFF_WINDOW_SHOW_CMD), SW_SHOWNORMAL);
    EXPECT_EQ(i32_at(ini, OFF_WINDOW_LEFT), 200);
    EXPECT_EQ(i32_at(ini, OFF_WINDOW_TOP), 150);
    EXPECT_EQ(i32_at(ini, OFF_WINDOW_RIGHT), 380);
    EXPECT_EQ(i32_at(ini, OFF_WINDOW_BOTTOM), 192);

    // The standard Minimize item still works, and a minimised window is stored as 6.
    Kavrel k(dir);
    HWND main = k.main_window();
    ASSERT_TRUE(main);
    SendMessageA(main, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    EXPECT_TRUE(IsIconic(main));
    ASSERT_TRUE(k.close());
    ini = read_file(ini_path(dir));
    EXPECT_EQ(i32_at(ini, OFF_WINDOW_SHOW_CMD), 6);
    EXPECT_EQ(i32_at(ini, OFF_WINDOW_LEFT), 200) << "the normal place is kept while minimised";
}

TEST(StartUp, OldLayoutFileStaysUntilTheFirstSave)
{
    std::string dir = fresh_work_dir("old-layout");
    Bytes old = pseudo_random_bytes(5572, 7);
    put_i32(old, OFF_WINDOW_LEFT, 120);
    put_i32(old, OFF_WINDOW_TOP, 90);
    write_file(ini_path(dir), old);

    Kavrel k(dir);
    ASSERT_TRUE(k.ready());
    EXPECT_EQ(read_file(ini_path(dir)).size(), 5572u);
    ASSERT_TRUE(k.close());

    Bytes ini = read_file(ini_path(dir));
    ASSERT_EQ(ini.size(), 5968u);
    for (size_t i = 0; i < BLOCK_E; i++)
        ASSERT_EQ(ini[i], old[i]) << "blocks A to D changed at byte " << i;
    for (size_t i = BLOCK_E; i < BLOCK_F; i++) {
        if (i >= OFF_WINDOW_LEFT && i < OFF_WINDOW_BOTTOM + 4)
            continue;
        ASSERT_EQ(ini[i], old[i]) << "block E changed at byte " << i;
    }
    EXPECT_EQ(i32_at(ini, OFF_WINDOW_LEFT), 120);
    EXPECT_EQ(i32_at(ini, OFF_WINDOW_TOP), 90);
    EXPECT_EQ(i32_at(ini, OFF_PRINTER_CHOICE), 1);
    const uint32_t defaults[6] = {0, 44, 1, 44, 1, 80};
    expect_hotkeys_in_file(ini, defaults);
}

TEST(StartUp, RepairsStoredValuesAndKeepsAcceptedHotKeys)
{
    std::string dir = fresh_work_dir("repairs");
    Bytes ini = default_settings_file();
    put_i32(ini, OFF_WINDOW_LEFT, 0);
    put_i32(ini, OFF_WINDOW_TOP, 0);
    put_i32(ini, OFF_PRINTER_CHOICE, 7);
    put_i32(ini, OFF_HOTKEYS + 0, 5);                     // full screen: modifier out of range
    put_i32(ini, OFF_HOTKEYS + 8, MOD_ALT | MOD_CONTROL);  // active window: Alt+Ctrl+F11
    put_i32(ini, OFF_HOTKEYS + 12, VK_F11);
    put_i32(ini, OFF_HOTKEYS + 20, 0);                    // cancel: no key
    write_file(ini_path(dir), ini);

    Kavrel k(dir);
    HWND main = k.ready();
    ASSERT_TRUE(main);
    EXPECT_TRUE(held_elsewhere({MOD_ALT | MOD_CONTROL, VK_F11}));
    EXPECT_TRUE(held_elsewhere(DEFAULT_PAIRS[0]));
    EXPECT_TRUE(held_elsewhere(DEFAULT_PAIRS[2]));
    restore_and_expect_at(main, 1, 1);
    ASSERT_TRUE(k.close());

    // Exit stores the placement into what was last saved: the repairs made in memory at start
    // are not written by it.
    Bytes after = read_file(ini_path(dir));
    EXPECT_EQ(i32_at(after, OFF_WINDOW_LEFT), 1);
    EXPECT_EQ(i32_at(after, OFF_WINDOW_TOP), 1);
    EXPECT_EQ(i32_at(after, OFF_PRINTER_CHOICE), 7);
    EXPECT_EQ(i32_at(after, OFF_HOTKEYS), 5);
}

TEST(StartUp, SettingsFileThatCannotBeOpenedEndsStartWithTheLoadMessage)
{
    std::string dir = fresh_work_dir("locked");
    Bytes original = pseudo_random_bytes(5968, 11);
    write_file(ini_path(dir), original);
    HANDLE lock = CreateFileA(ini_path(dir).c_str(), GENERIC_READ, 0, NULL, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);

    Kavrel k(dir);
    HWND box = k.message_box();
    ASSERT_TRUE(box) << "no load message";
    EXPECT_EQ(window_text(box), APP_TITLE);
    EXPECT_EQ(box_text(box), "ユーザー情報が取得できません\n<ERR=32>");
    press_ok(box);
    DWORD code = 1;
    EXPECT_TRUE(k.wait_exit(START_TIMEOUT_MS, &code)) << "still running after the load message";
    EXPECT_EQ(code, 0u);
    CloseHandle(lock);
    EXPECT_EQ(read_file(ini_path(dir)), original);
}

TEST(StartUp, CurrentDirectoryLongerThan89CharactersHoldsTheSettingsFile)
{
    std::string dir = fresh_work_dir(std::string(60, 'k'));
    dir += "\\" + std::string(70, 'd');
    CreateDirectoryA(dir.c_str(), NULL);
    ASSERT_GT(dir.size(), 89u);
    Kavrel k(dir);
    ASSERT_TRUE(k.ready());
    EXPECT_EQ(read_file(ini_path(dir)).size(), 5968u);
    EXPECT_TRUE(k.close());
}

// Whatever length and bytes the file has, the program starts, runs and ends cleanly.
TEST(StartUp, SettingsFileOfAnyLengthAndContentStarts)
{
    const size_t sizes[] = {0, 1, 999, 1000, 5572, 5574, 5575, 5936, 5938, 5939, 5968, 9000};
    for (size_t size : sizes) {
        SCOPED_TRACE("file of " + std::to_string(size) + " bytes");
        std::string dir = fresh_work_dir("size-" + std::to_string(size));
        Bytes data = pseudo_random_bytes(size, (uint32_t)size + 3);
        write_file(ini_path(dir), data);
        Kavrel k(dir);
        HWND main = NULL;
        // A random hot key may be one that cannot be had: each is named once, and nothing else
        // is said.
        std::vector<StartUpBox> boxes = answer_start_up_boxes(k, &main);
        ASSERT_TRUE(main);
        EXPECT_LE(boxes.size(), 3u);
        for (const StartUpBox& box : boxes) {
            EXPECT_EQ(box.title, APP_TITLE);
            bool a_hot_key = false;
            for (const char* which : {"全画面コピー", "アクティブ画面コピー", "複数ファイル出力キャンセル"})
                a_hot_key |= box.text == std::string("ホットキー(") + which +
                                             ")の設定に失敗しました\n別のアプリケーションが設定しています";
            EXPECT_TRUE(a_hot_key) << box.text;
        }
        DWORD code = 1;
        ASSERT_TRUE(k.close(&code));
        EXPECT_EQ(code, 0u);
        Bytes after = read_file(ini_path(dir));
        EXPECT_EQ(after.size(), size < 5968 ? 5968 : size);
        if (size == 1000) {
            // Read as far as it goes, found too short, rewritten at once with what was read.
            EXPECT_TRUE(std::equal(data.begin(), data.end(), after.begin()));
        }
        if (size > 5968) {
            EXPECT_TRUE(std::equal(data.begin() + 5968, data.end(), after.begin() + 5968))
                << "the tail past the record was not kept";
        }
    }
}

TEST(Harness, WineSeesTheSessionsPdfPrinterAsDefault)
{
    SKIP_WHERE_NOTHING_PRINTS();
    std::string printer = session_printer();
    ASSERT_FALSE(printer.empty())
        << "KAVREL_PRINTER is not set (run under scripts/wine-session.sh)";
    PRINTDLGA pd{};
    pd.lStructSize = sizeof pd;
    pd.Flags = PD_RETURNDEFAULT;
    ASSERT_TRUE(PrintDlgA(&pd)) << "no default printer";
    auto* dm = static_cast<DEVMODEA*>(GlobalLock(pd.hDevMode));
    EXPECT_EQ((const char*)dm->dmDeviceName, printer);
    GlobalUnlock(pd.hDevMode);
    GlobalFree(pd.hDevMode);
    GlobalFree(pd.hDevNames);
}
