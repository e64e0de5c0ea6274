// Helpers that reach past Wine; see outside_win.h.
#include "tests/system/outside_win.h"

#include <stdlib.h>

namespace {

constexpr int DROP_TIMEOUT_MS = 20000;

std::string first_line(const Bytes& data)
{
    std::string text(data.begin(), data.end());
    return text.substr(0, text.find('\n'));
}

// start.exe /unix runs a Linux program with the words of the command line as its arguments.
// Started straight from this process instead, the program ran, but this process's later
// messages sent to the program's windows never came back. start.exe ends at once; the
// program's result file says when it is done. The command is Linux text (UTF-8, the paths as
// unix_path gives them): read as code page 932, a Japanese name in it would be another name.
bool start_unix(const std::string& command)
{
    std::string utf8 = "start.exe /unix " + command;
    std::wstring cmd(utf8.size() + 1, L'\0');
    if (!MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.c_str(), -1, &cmd[0],
                             (int)cmd.size()))
        return false;
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(NULL, &cmd[0], NULL, NULL, FALSE, 0, NULL, NULL, &si, &pi))
        return false;
    WaitForSingleObject(pi.hProcess, DROP_TIMEOUT_MS);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    return true;
}

bool wait_file(const std::string& path, int timeout_ms)
{
    DWORD start = GetTickCount();
    while (!file_exists(path)) {
        if (GetTickCount() - start > (DWORD)timeout_ms)
            return false;
        pump_messages(50);
    }
    return true;
}

}  // namespace

std::string unix_path(const std::string& windows_path)
{
    using ToUnix = char*(CDECL*)(LPCWSTR);
    auto to_unix = reinterpret_cast<ToUnix>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    if (!to_unix)
        return "";
    wchar_t wide[MAX_PATH];
    if (!MultiByteToWideChar(CP_ACP, 0, windows_path.c_str(), -1, wide, MAX_PATH))
        return "";
    char* path = to_unix(wide);
    if (!path)
        return "";
    std::string result = path;
    HeapFree(GetProcessHeap(), 0, path);
    return result;
}

std::string tests_folder()
{
    const char* script = getenv("KAVREL_XDND_DROP");
    if (!script || !*script)
        return "";
    std::string path = script;
    return path.substr(0, path.rfind('/'));
}

std::string start_drop(HWND target, const std::vector<std::string>& files,
                       const std::string& work_dir, const std::string& trigger)
{
    static int drops;
    const char* script = getenv("KAVREL_XDND_DROP");
    if (!script || !*script)
        return "";
    RECT rc;
    GetWindowRect(target, &rc);
    std::string result = work_dir + "\\drop" + std::to_string(++drops) + ".txt";
    DeleteFileA(result.c_str());
    std::string cmd = "/usr/bin/python3 \"" + std::string(script) + "\" " +
                      std::to_string((rc.left + rc.right) / 2) + " " +
                      std::to_string((rc.top + rc.bottom) / 2) + " \"" + unix_path(result) + "\"";
    for (const std::string& f : files)
        cmd += " \"" + unix_path(f) + "\"";
    if (!trigger.empty())
        cmd += " --drop-when \"" + unix_path(trigger) + "\"";
    if (!start_unix(cmd))
        return "";
    return result;
}

std::string finish_drop(const std::string& result)
{
    if (result.empty())
        return "the drag source did not start (is KAVREL_XDND_DROP set?)";
    if (!wait_file(result, DROP_TIMEOUT_MS))
        return "the drag source gave no result";
    return first_line(read_file(result));
}

std::string drop_files(HWND target, const std::vector<std::string>& files,
                       const std::string& work_dir)
{
    return finish_drop(start_drop(target, files, work_dir, ""));
}

int run_linux(const std::string& work_dir, const std::string& command, std::string* output,
              int timeout_ms)
{
    static int runs;
    std::string name = work_dir + "\\run" + std::to_string(++runs);
    std::string out = name + ".out", rc = name + ".rc", script = name + ".sh";
    DeleteFileA(out.c_str());
    DeleteFileA(rc.c_str());
    // The exit code is written under another name first, so that it is never read half-made.
    // Wine's code page setting means nothing to Linux programs and only makes them complain.
    std::string text = "unset LC_ALL\ncd '" + unix_path(work_dir) + "' || exit 1\n(" + command +
                       ") >'" + unix_path(out) + "' 2>'" + unix_path(name) + ".err'\necho $? >'" +
                       unix_path(rc) + ".tmp'\nmv '" + unix_path(rc) + ".tmp' '" + unix_path(rc) +
                       "'\n";
    write_file(script, Bytes(text.begin(), text.end()));
    if (!start_unix("/bin/sh \"" + unix_path(script) + "\"") || !wait_file(rc, timeout_ms))
        return -1;
    if (output) {
        Bytes printed = read_file(out);
        output->assign(printed.begin(), printed.end());
    }
    return atoi(first_line(read_file(rc)).c_str());
}
