// The system report and the mail hand-off of the real program: SYSINFO.TXT beside the output
// file, the mail sender (a stand-in the tests build) started after file outputs with the
// archive name, the broadcast that follows it, and the dialog SETTING3 that switches it on.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <vector>

#include "base/ids.h"
#include "res/resource.h"
#include "settings/settings.h"
#include "tests/system/dialogs_win.h"
#include "tests/system/harness_win.h"

namespace {

constexpr size_t OFF_WRITE_SYSINFO = offsetof(SettingsRecord, write_sysinfo);
constexpr size_t OFF_FILE_COMPRESSION = offsetof(SettingsRecord, file_compression);
constexpr size_t OFF_MAIL_AFTER_OUTPUT = offsetof(SettingsRecord, mail_after_output);
constexpr size_t OFF_EXIT_AFTER_PRINT = offsetof(SettingsRecord, exit_after_print);
constexpr int OUTPUT_TIMEOUT_MS = 20000;
const char SETTING3_CAPTION[] = "連携アプリケーション設定";

// The settings file once the mail-after-output setting saved is `on`.
Bytes mail_after_output_saved(const std::string& dir, int32_t on)
{
    return wait_settings(
        dir, [&](const Bytes& ini) { return i32_at(ini, OFF_MAIL_AFTER_OUTPUT) == on; });
}

std::string text_of(const Bytes& data)
{
    return std::string(data.begin(), data.end());
}

std::vector<std::string> crlf_lines(const std::string& text)
{
    std::vector<std::string> lines;
    size_t at = 0;
    for (size_t end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2)
        lines.push_back(text.substr(at, end - at));
    if (at < text.size())
        lines.push_back(text.substr(at) + "<no CR LF>");
    return lines;
}

bool starts_with(const std::string& s, const std::string& prefix)
{
    return s.compare(0, prefix.size(), prefix) == 0;
}

bool all_digits(const std::string& s)
{
    return !s.empty() && s.find_first_not_of("0123456789") == std::string::npos;
}

std::string drive_type_line(UINT type)
{
    const std::string indent(13, ' ');
    switch (type) {
    case DRIVE_UNKNOWN:
        return indent + "ドライブの種類が判断できません";
    case DRIVE_NO_ROOT_DIR:
        return indent + "ルート ディレクトリが存在しません";
    case DRIVE_REMOVABLE:
        return indent + "リムーバブルディスク";
    case DRIVE_FIXED:
        return indent + "固定ディスク";
    case DRIVE_REMOTE:
        return indent + "リモート(ネットワーク)ディスク";
    case DRIVE_CDROM:
        return indent + "ＣＤ－ＲＯＭ";
    case DRIVE_RAMDISK:
        return indent + "ＲＡＭディスク";
    default:
        return "";
    }
}

// Reads the report line by line against what this process learns from the same system.
class ReportReader {
public:
    explicit ReportReader(const std::string& text) : lines_(crlf_lines(text)) {}

    std::string next() { return at_ < lines_.size() ? lines_[at_++] : "<end of report>"; }
    bool done() const { return at_ >= lines_.size(); }
    void expect(const std::string& line) { EXPECT_EQ(next(), line) << "line " << at_; }
    void expect_gap()
    {
        expect("");
        expect("");
    }

private:
    std::vector<std::string> lines_;
    size_t at_ = 0;
};

void expect_time_line(const std::string& line, const char* label)
{
    // "SYSTEM = 2024/01/02 03:04:05"
    ASSERT_EQ(line.size(), 28u) << line;
    EXPECT_TRUE(starts_with(line, label)) << line;
    std::string stamp = line.substr(9);
    for (size_t i : {4u, 7u})
        EXPECT_EQ(stamp[i], '/') << line;
    EXPECT_EQ(stamp[10], ' ') << line;
    EXPECT_EQ(stamp[13], ':') << line;
}

void expect_drives(ReportReader& report)
{
    char roots[300] = {0};
    GetLogicalDriveStringsA(sizeof roots, roots);
    for (const char* root = roots; *root; root += strlen(root) + 1) {
        SCOPED_TRACE(root);
        report.expect(std::string("ディスク情報：") + root);
        UINT type = GetDriveTypeA(root);
        if (!drive_type_line(type).empty())
            report.expect(drive_type_line(type));
        DWORD spc, bps, free_clusters, total_clusters;
        if ((type == DRIVE_FIXED || type == DRIVE_RAMDISK) &&
            GetDiskFreeSpaceA(root, &spc, &bps, &free_clusters, &total_clusters)) {
            unsigned long long total = (unsigned long long)total_clusters * bps * spc;
            std::string head = std::string(13, ' ') + "全容量=" + std::to_string(total) +
                               "byte,空容量=";
            std::string line = report.next();
            ASSERT_TRUE(starts_with(line, head)) << line << "\nwanted " << head;
            std::string free_part = line.substr(head.size());
            ASSERT_GE(free_part.size(), 5u) << line;
            EXPECT_EQ(free_part.substr(free_part.size() - 4), "byte") << line;
            EXPECT_TRUE(all_digits(free_part.substr(0, free_part.size() - 4))) << line;
        }
    }
}

// The window list: numbered from 1, seven lines each, ending before a window of the first
// window's process comes round again.
void expect_windows(ReportReader& report)
{
    int count = 0;
    std::string first_process;
    while (!report.done()) {
        std::string head = report.next();
        char want[16];
        snprintf(want, sizeof want, "Windows %2d：", ++count);
        ASSERT_TRUE(starts_with(head, want)) << head;
        size_t id_at = head.rfind(" (ProcID=");
        ASSERT_NE(id_at, std::string::npos) << head;
        std::string process = head.substr(id_at);
        if (count == 1)
            first_process = process;
        else
            EXPECT_NE(process, first_process) << "the list went on past the first process";
        EXPECT_TRUE(starts_with(report.next(), "            表示位置(X,Y) ("));
        std::string input = report.next();
        EXPECT_TRUE(input == "            入力可能 Window" || input == "            入力不可能 Window")
            << input;
        std::string shown = report.next();
        EXPECT_TRUE(shown == "            表示 Window" || shown == "            非表示 Window")
            << shown;
        std::string state = report.next();
        EXPECT_TRUE(state == "            アイコン状態" || state == "            ウィンドウ状態")
            << state;
        EXPECT_TRUE(starts_with(report.next(), "            クラス名 "));
        report.expect("");
    }
    EXPECT_GE(count, 1);
}

void expect_report(const std::string& text)
{
    ASSERT_GE(text.size(), 2u);
    EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
    ReportReader report(text);
    expect_time_line(report.next(), "SYSTEM = ");
    expect_time_line(report.next(), "LOCAL  = ");
    report.expect_gap();

    char computer[MAX_COMPUTERNAME_LENGTH + 1] = "";
    DWORD size = sizeof computer;
    GetComputerNameA(computer, &size);
    char user[300] = "";
    size = sizeof user;
    GetUserNameA(user, &size);
    report.expect(std::string("ＰＣ情報：COMP NAME = ") + computer);
    report.expect(std::string("         USER NAME = ") + user);
    report.expect_gap();

    OSVERSIONINFOA os = {};
    os.dwOSVersionInfoSize = sizeof os;
    GetVersionExA(&os);
    report.expect(os.dwPlatformId == VER_PLATFORM_WIN32_NT ? "ＯＳ情報：Win32 on Windows NT."
                                                           : "ＯＳ情報：Win32 on Windows 95.");
    report.expect("         MajorVersion = " + std::to_string(os.dwMajorVersion));
    report.expect("         MinorVersion = " + std::to_string(os.dwMinorVersion));
    report.expect("         BuildNumber = " + std::to_string((long)os.dwBuildNumber));
    report.expect_gap();

    char system_dir[MAX_PATH] = "", windows_dir[MAX_PATH] = "";
    GetSystemDirectoryA(system_dir, sizeof system_dir);
    GetWindowsDirectoryA(windows_dir, sizeof windows_dir);
    report.expect("         SYSTEM-DIRECTORY");
    report.expect(std::string(16, ' ') + system_dir);
    report.expect("         WINDOWS-DIRECTORY");
    report.expect(std::string(16, ' ') + windows_dir);
    report.expect_gap();

    HDC dc = GetDC(NULL);
    int bits = GetDeviceCaps(dc, BITSPIXEL) * GetDeviceCaps(dc, PLANES);
    report.expect("画面情報：");
    report.expect("         ドライバーバージョン " + std::to_string(GetDeviceCaps(dc, DRIVERVERSION)));
    report.expect("         表示解像度 " + std::to_string(GetDeviceCaps(dc, HORZRES)) + "×" +
                  std::to_string(GetDeviceCaps(dc, VERTRES)));
    report.expect("         表示パレット数 " + std::to_string(GetDeviceCaps(dc, SIZEPALETTE)));
    // 32 bits per pixel under Xvfb: a count that needs more than 32 bits.
    report.expect("         表示色数 " + std::to_string(1ULL << bits));
    ReleaseDC(NULL, dc);
    report.expect_gap();

    expect_drives(report);
    report.expect_gap();
    expect_windows(report);
}

// Presses Print Screen until `path` holds a whole BMP file: a press that falls into the
// half second after the last output is lost by design, and a loaded machine stretches it.
Bytes print_screen_to(const std::string& path)
{
    Bytes bmp;
    for (int attempt = 0; attempt < 3 && bmp.size() < 54; attempt++) {
        press_keys({VK_SNAPSHOT});
        bmp = wait_for_bmp(path, 10000);
    }
    return bmp;
}

std::string test_exe_dir()
{
    char path[MAX_PATH];
    GetModuleFileNameA(NULL, path, sizeof path);
    char* slash = strrchr(path, '\\');
    if (slash)
        *slash = 0;
    return path;
}

// The stand-in mail sender, put where the program looks for it: its folder at start-up.
void put_mail_sender(const std::string& dir)
{
    std::string from = test_exe_dir() + "\\standin\\SendKDUX.EXE";
    ASSERT_TRUE(CopyFileA(from.c_str(), (dir + "\\SendKDUX.EXE").c_str(), FALSE)) << from;
}

struct MailLog {
    std::string command_line;
    std::string folder;
    DWORD started_at = 0;
    bool notified = false;
    std::string notified_params;
};

// "kind tick text" lines of SENDKDUX.LOG.
MailLog read_mail_log(const std::string& dir)
{
    MailLog log;
    for (const std::string& line : crlf_lines(text_of(read_file(dir + "\\SENDKDUX.LOG")))) {
        size_t a = line.find(' '), b = line.find(' ', a + 1);
        if (a == std::string::npos || b == std::string::npos)
            continue;
        std::string kind = line.substr(0, a), rest = line.substr(b + 1);
        if (kind == "started") {
            log.command_line = rest;
            log.started_at = strtoul(line.c_str() + a + 1, NULL, 10);
        } else if (kind == "folder") {
            log.folder = rest;
        } else if (kind == "notified") {
            log.notified = true;
            log.notified_params = rest;
        }
    }
    return log;
}

// A top-level window of the test that notes the broadcast of UM_MAIL_NOTIFY.
struct Broadcast {
    int count = 0;
    DWORD at = 0;
    WPARAM wparam = 1;
    LPARAM lparam = 1;
};
Broadcast caught;

LRESULT CALLBACK catcher_proc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam)
{
    if (msg == UM_MAIL_NOTIFY) {
        caught.count++;
        caught.at = GetTickCount();
        caught.wparam = wparam;
        caught.lparam = lparam;
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wparam, lparam);
}

struct BroadcastCatcher {
    HWND hwnd;
    BroadcastCatcher()
    {
        caught = Broadcast{};
        WNDCLASSA wc = {};
        wc.lpfnWndProc = catcher_proc;
        wc.hInstance = GetModuleHandleA(NULL);
        wc.lpszClassName = "KavrelTestMailCatcher";
        RegisterClassA(&wc);
        hwnd = CreateWindowExA(0, wc.lpszClassName, "catcher", WS_OVERLAPPED, 0, 0, 10, 10, NULL,
                               NULL, wc.hInstance, NULL);
    }
    ~BroadcastCatcher() { DestroyWindow(hwnd); }
    BroadcastCatcher(const BroadcastCatcher&) = delete;
    BroadcastCatcher& operator=(const BroadcastCatcher&) = delete;
    bool wait(int ms, int count = 1)
    {
        DWORD start = GetTickCount();
        while (caught.count < count && GetTickCount() - start < (DWORD)ms)
            pump_messages(50);
        return caught.count >= count;
    }
};

Bytes mail_settings(const std::string& dir, int device, int compression)
{
    Bytes ini = output_settings(dir, device, 0, 1);
    put_i32(ini, OFF_FILE_COMPRESSION, compression);
    put_i32(ini, OFF_MAIL_AFTER_OUTPUT, 1);
    return ini;
}

}  // namespace

TEST(SystemReport, WrittenBesideTheBmpAtEachOutputReplacingTheLastOne)
{
    std::string dir = fresh_work_dir("sysinfo");
    Bytes ini = output_settings(dir, 1, 1, 1);  // numbered files
    put_i32(ini, OFF_WRITE_SYSINFO, 1);
    write_file(ini_path(dir), ini);
    std::string report = dir + "\\SYSINFO.TXT";
    write_file(report, Bytes(60000, 'X'));  // an older, longer report
    Kavrel k(dir);
    ASSERT_TRUE(k.ready());

    press_keys({VK_SNAPSHOT});
    ASSERT_GE(wait_for_bmp(numbered_output(dir, 0), OUTPUT_TIMEOUT_MS).size(), 54u);
    std::string first = text_of(read_file(report));
    EXPECT_EQ(first.find("XXXX"), std::string::npos) << "the old report was not replaced";
    {
        SCOPED_TRACE("first report");
        expect_report(first);
    }

    ASSERT_TRUE(k.idle());
    write_file(report, Bytes(60000, 'Y'));
    ASSERT_GE(print_screen_to(numbered_output(dir, 1)).size(), 54u);
    std::string second = text_of(read_file(report));
    EXPECT_EQ(second.find("YYYY"), std::string::npos) << "the second output left the file";
    EXPECT_TRUE(starts_with(second, "SYSTEM = ")) << second.substr(0, 40);
    EXPECT_FALSE(file_exists(dir + "\\SYSINFO1.TXT"));
    EXPECT_FALSE(k.message_box(0));
    EXPECT_TRUE(k.close());
}

TEST(SystemReport, NoneWhenTheOptionIsOff)
{
    std::string dir = fresh_work_dir("sysinfo-off");
    write_file(ini_path(dir), output_settings(dir, 1, 0, 1));
    Kavrel k(dir);
    ASSERT_TRUE(k.ready());
    press_keys({VK_SNAPSHOT});
    ASSERT_GE(wait_for_bmp(numbered_output(dir, 0), OUTPUT_TIMEOUT_MS).size(), 54u);
    EXPECT_FALSE(file_exists(dir + "\\SYSINFO.TXT"));
    EXPECT_TRUE(k.close());
}

TEST(MailHandOff, FileOutputStartsTheMailSenderAndABroadcastFollowsASecondLater)
{
    std::string dir = fresh_work_dir("mail");
    write_file(ini_path(dir), mail_settings(dir, 1, 1));
    put_mail_sender(dir);
    BroadcastCatcher catcher;
    Kavrel k(dir);
    ASSERT_TRUE(k.ready());

    press_keys({VK_SNAPSHOT});
    ASSERT_GE(wait_for_bmp(numbered_output(dir, 0), OUTPUT_TIMEOUT_MS).size(), 54u);
    ASSERT_TRUE(catcher.wait(15000)) << "no broadcast of 1691 reached the test's window";
    EXPECT_EQ(caught.wparam, 0u);
    EXPECT_EQ(caught.lparam, 0);

    MailLog log = read_mail_log(dir);
    EXPECT_EQ(log.command_line, dir + "\\SendKDUX.EXE " + dir + "\\" + OUTPUT_STEM + ".LZH");
    EXPECT_EQ(log.folder, dir) << "the mail sender runs in the program's folder";
    // The program waits for the sender to take input, then a second; a loaded machine may take
    // longer to start the sender.
    long after = (long)(caught.at - log.started_at);
    EXPECT_GE(after, 900) << "the broadcast came too early";
    EXPECT_LE(after, 8000) << "the broadcast came too late";
    // The sender notes the broadcast in its log once it has it; a partly written line does
    // not read as the note.
    DWORD noted = GetTickCount();
    while (!read_mail_log(dir).notified && GetTickCount() - noted < 15000)
        pump_messages(50);
    EXPECT_TRUE(read_mail_log(dir).notified) << "the mail sender did not get the broadcast";
    ASSERT_TRUE(k.idle());
    EXPECT_EQ(caught.count, 1);
    EXPECT_FALSE(message_box_made(k));

    // With the exit after output, the program ends only once its last launch is told.
    Bytes exit_ini = read_settings(dir);
    put_i32(exit_ini, OFF_EXIT_AFTER_PRINT, 1);
    write_file(ini_path(dir), exit_ini);
    press_keys({VK_SNAPSHOT});
    EXPECT_TRUE(k.wait_exit(OUTPUT_TIMEOUT_MS)) << "the exit after output did not come";
    EXPECT_TRUE(catcher.wait(5000, 2)) << "the last launch was not told before the exit";
    EXPECT_EQ(caught.count, 2);
    EXPECT_GE((long)(caught.at - read_mail_log(dir).started_at), 900)
        << "the exit did not wait the second the mail sender is given";
}

TEST(MailHandOff, NothingStartedWithoutCompressionForThePrinterAloneOrWithoutTheSender)
{
    struct Case {
        const char* name;
        int device;
        int compression;
        bool sender;
    };
    for (Case c : {Case{"no compression", 1, 0, true}, Case{"printer only", 0, 1, true},
                   Case{"no mail sender", 1, 1, false}}) {
        SCOPED_TRACE(c.name);
        if (c.device == 0 && wine_cannot_print_here()) {
            printf("[   NOTE   ] %s: not tried, Wine prints nothing when it reports the Windows "
                   "95 family\n", c.name);
            continue;
        }
        std::string dir = fresh_work_dir(std::string("mail-none-") + std::to_string(c.device) +
                                         std::to_string(c.compression));
        write_file(ini_path(dir), mail_settings(dir, c.device, c.compression));
        if (c.sender)
            put_mail_sender(dir);
        BroadcastCatcher catcher;
        Kavrel k(dir);
        ASSERT_TRUE(k.ready());
        std::set<std::string> pdfs = printed_pdfs();
        press_keys({VK_SNAPSHOT});
        if (c.device == 0) {
            std::string pdf = wait_for_new_pdf(pdfs, 60000);
            EXPECT_FALSE(pdf.empty()) << "no page came out";
            if (!pdf.empty())
                DeleteFileA(pdf.c_str());
        } else {
            ASSERT_GE(wait_for_bmp(numbered_output(dir, 0), OUTPUT_TIMEOUT_MS).size(), 54u);
        }
        // A launch happens inside the output, and the program waits there for the sender to
        // come up, which notes its start first; at exit it posts every notice still due.
        ASSERT_TRUE(k.idle());
        EXPECT_FALSE(file_exists(dir + "\\SENDKDUX.LOG")) << "the mail sender was started";
        EXPECT_FALSE(message_box_made(k)) << "a failed hand-off is silent";
        EXPECT_TRUE(k.close());
        pump_messages(0);
        EXPECT_EQ(caught.count, 0) << "a broadcast came";
    }
}

TEST(LinkedAppDialog, SwitchesTheHandOffAndExplainsIt)
{
    std::string dir = fresh_work_dir("setting3");
    Kavrel k(dir);
    HWND main = k.main_window();
    ASSERT_TRUE(main);
    HWND dlg = open_from_system_menu(k, CMD_LINKED_APP, SETTING3_CAPTION);
    ASSERT_TRUE(dlg) << "no SETTING3";
    EXPECT_EQ(GetWindow(dlg, GW_OWNER), main);
    EXPECT_FALSE(IsWindowEnabled(main)) << "not modal";
    EXPECT_EQ(control_text(dlg, IDC_MAIL_AFTER_OUTPUT), "メールする");
    EXPECT_EQ(control_text(dlg, IDOK), "登録");
    EXPECT_EQ(control_text(dlg, IDCANCEL), "ｷｬﾝｾﾙ");
    EXPECT_TRUE(GetWindowLongA(GetDlgItem(dlg, IDC_MAIL_AFTER_OUTPUT), GWL_STYLE) & BS_PUSHLIKE);
    EXPECT_TRUE(GetWindowLongA(dlg, GWL_EXSTYLE) & WS_EX_CONTEXTHELP);
    EXPECT_FALSE(is_checked(dlg, IDC_MAIL_AFTER_OUTPUT));

    {
        HelpRequest help(dlg, IDC_MAIL_AFTER_OUTPUT, 300, 200);
        HWND hint = wait_dialog_with_control(k, IDC_HINT_LINE1);
        ASSERT_TRUE(hint) << "no hint popup";
        EXPECT_EQ(GetWindow(hint, GW_OWNER), dlg);
        EXPECT_EQ(control_text(hint, IDC_HINT_LINE1),
                  "SEND K-DUX を利用して、取得した画像やシステム情報をメールします。");
        EXPECT_EQ(control_text(hint, IDC_HINT_LINE2),
                  "ただし、拡張機能で「ファイル出力」を選択している必要があります。");
        EXPECT_EQ(control_text(hint, IDC_HINT_LINE3), "");
        click(hint, IDOK);
        EXPECT_TRUE(wait_gone(hint, 5000));
        EXPECT_TRUE(help.answered(5000));
    }
    {
        HelpRequest help(dlg, IDOK, 300, 200);
        EXPECT_TRUE(help.answered(5000));
        EXPECT_FALSE(wait_dialog_with_control(k, IDC_HINT_LINE1, 0)) << "a hint for 登録";
    }

    click(dlg, IDC_MAIL_AFTER_OUTPUT);
    click(dlg, IDOK);
    ASSERT_TRUE(wait_gone(dlg));
    EXPECT_EQ(i32_at(mail_after_output_saved(dir, 1), OFF_MAIL_AFTER_OUTPUT), 1);

    dlg = open_from_system_menu(k, CMD_LINKED_APP, SETTING3_CAPTION);
    ASSERT_TRUE(dlg);
    EXPECT_TRUE(is_checked(dlg, IDC_MAIL_AFTER_OUTPUT));
    click(dlg, IDC_MAIL_AFTER_OUTPUT);  // off, then cancelled
    click(dlg, IDCANCEL);
    ASSERT_TRUE(wait_gone(dlg));
    EXPECT_EQ(i32_at(read_settings(dir), OFF_MAIL_AFTER_OUTPUT), 1);

    dlg = open_from_system_menu(k, CMD_LINKED_APP, SETTING3_CAPTION);
    ASSERT_TRUE(dlg);
    EXPECT_TRUE(is_checked(dlg, IDC_MAIL_AFTER_OUTPUT)) << "cancel changed the setting";
    click(dlg, IDC_MAIL_AFTER_OUTPUT);
    click(dlg, IDOK);
    ASSERT_TRUE(wait_gone(dlg));
    EXPECT_EQ(i32_at(mail_after_output_saved(dir, 0), OFF_MAIL_AFTER_OUTPUT), 0);
    EXPECT_TRUE(k.close());
}
