// Shots of zvs: the editor with a coloured script, a paused step with its
// variables, the console after an error, the menus and each dialog.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>

#include "resource_ids.h"
#include "shots.h"
#include "target_driver.h"
#include "zvs_driver.h"

namespace fs = std::filesystem;
using zv::test::eventually;
using zvs_test::Zvs;

namespace {

int g_failures;

void check(bool ok, const char* what) {
    if (!ok) {
        std::printf("FAILED %s\n", what);
        ++g_failures;
    }
}

const char kScript[] =
    "// 売上の集計 (ksc)\r\n"
    "#import(\"DESKOPS\")\r\n"
    "\r\n"
    "function total(list) {\r\n"
    "\tvar sum = 0\r\n"
    "\tfor (i = 0; i < length(list); i++) {\r\n"
    "\t\tsum += list[i]\r\n"
    "\t}\r\n"
    "\treturn sum\r\n"
    "}\r\n"
    "\r\n"
    "sales = {120, 340.5, \"x\": 7}\r\n"
    "name = 'Tokyo \\'A\\''\r\n"
    "switch (length(sales)) {\r\n"
    "case 3:\r\n"
    "\tprint(\"三件: \" + total(sales) + \"\\n\")\r\n"
    "\tbreak\r\n"
    "default:\r\n"
    "\tprint(\"other\\n\")\r\n"
    "}\r\n"
    "x = 1 / 0\r\n";

void close_box(HWND box, int button) {
    PostMessageW(box, WM_COMMAND, WPARAM(button), 0);
    eventually([&] { return !IsWindow(box) || !IsWindowVisible(box); }, 5000);
}

// Opens a dialog by a command, saves it over the main window, closes it.
void dialog_shot(const Zvs& z, WORD command, const char* name, int close_with = IDCANCEL) {
    z.command(command);
    HWND d = z.dialog(10000);
    check(d && zv::shots::save_area(d, zv::shots::around({z.main, d}), name), name);
    if (d) close_box(d, close_with);
}

void menu_shot(const Zvs& z, int index, const char* name) {
    z.focus(z.editor);
    PostMessageW(z.main, WM_SYSCOMMAND, SC_KEYMENU, 0);
    z.settle();
    for (int i = 0; i < index; ++i) PostMessageW(z.main, WM_KEYDOWN, VK_RIGHT, 0);
    PostMessageW(z.main, WM_KEYDOWN, VK_DOWN, 0);
    HWND menu = nullptr;
    eventually([&] { return (menu = FindWindowW(L"#32768", nullptr)) != nullptr && IsWindowVisible(menu); }, 5000);
    check(menu && zv::shots::save_area(z.main, zv::shots::around({z.main, menu}), name), name);
    PostMessageW(z.main, WM_CANCELMODE, 0, 0);
    keybd_event(VK_ESCAPE, 0, 0, 0);
    keybd_event(VK_ESCAPE, 0, KEYEVENTF_KEYUP, 0);
    keybd_event(VK_ESCAPE, 0, 0, 0);
    keybd_event(VK_ESCAPE, 0, KEYEVENTF_KEYUP, 0);
    eventually([&] { return !menu || !IsWindowVisible(menu); }, 5000);
}

}  // namespace

int main() {
    fs::path dir = zv::test::fresh_dir("zvs-shots");
    fs::create_directories(dir / "settings");
    const char* settings =
        "[WINDOW]\r\nleft=20\r\ntop=20\r\nright=1000\r\nbottom=720\r\nsep_size_vertical=300\r\n"
        "sep_size_horizon=170\r\nconfirm_tutorial=%d\r\n[EXEC]\r\nexec_speed=0\r\n";
    char ini[512];
    std::snprintf(ini, sizeof ini, settings, 0);
    std::ofstream(dir / "settings" / "ksc.ini") << ini;
    std::ofstream(dir / L"売上.ksc", std::ios::binary) << kScript;
    {
        Zvs z(dir / L"売上.ksc", dir / "settings");
        check(z.started(), "zvs started");
        if (!z.started()) return 1;
        z.focus(z.editor);
        SendMessageW(z.editor, EM_SETSEL, 58, 83);
        check(zv::shots::save(z.main, "zvs_editor"), "zvs_editor");

        menu_shot(z, 2, "zvs_menu_run");

        // Stepping: paused in the function with its variables shown.
        long target = 6;
        LRESULT at = SendMessageW(z.editor, EM_LINEINDEX, WPARAM(target), 0);
        SendMessageW(z.editor, EM_SETSEL, WPARAM(at), at);
        z.command(ID_RUN_TO_CURSOR);
        eventually([&] { return z.run_line() == target; }, 20000);
        z.command(ID_RUN_STEP);
        eventually([&] { return z.run_line() != target; }, 20000);
        z.command(ID_RUN_STEP);
        eventually([&] { return z.run_line() == target; }, 20000);
        check(z.run_line() == target, "paused on the loop body");
        check(zv::shots::save(z.main, "zvs_step"), "zvs_step");

        // On to the end: the division by zero marks its line.
        z.command(ID_RUN_EXEC);
        eventually([&] { return !z.running(); }, 20000);
        check(zv::shots::save(z.main, "zvs_error"), "zvs_error");

        dialog_shot(z, ID_EDIT_FIND, "zvs_find");
        dialog_shot(z, ID_FILE_OPEN, "zvs_open");
        dialog_shot(z, ID_FILE_FONT, "zvs_font");
        dialog_shot(z, ID_HELP_MANUAL, "zvs_manual_missing", IDOK);
        SendMessageW(z.editor, EM_REPLACESEL, 0, reinterpret_cast<LPARAM>(L"// changed\r\n"));
        dialog_shot(z, ID_FILE_NEW, "zvs_save_changes");
    }
    {
        std::snprintf(ini, sizeof ini, settings, 1);
        std::ofstream(dir / "settings" / "ksc.ini") << ini;
        Zvs z("", dir / "settings");
        HWND box = z.dialog(10000);
        check(box && zv::shots::save_area(box, zv::shots::around({z.main, box}), "zvs_tutorial_prompt"),
              "zvs_tutorial_prompt");
        if (box) close_box(box, IDCANCEL);
    }
    std::error_code ignored;
    fs::remove_all(dir, ignored);
    return g_failures ? 1 : 0;
}
