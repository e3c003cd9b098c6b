// zv_soak plays: one zvs_app process plays a generated scenario against
// zv_target many times over (the scenario's repeat count), as the recorder
// has it play a scenario with a large loop count. The scenario cycles
// through the operations a recording of the target holds: clicks, a double
// click, the wheel, keys with modifiers, sent text, the clipboard, waits and
// the input settings; the script comes from the recorder's own generator.
#include <cstdio>
#include <fstream>

#include "operation_codes.h"
#include "scenario.h"
#include "script_cases.h"
#include "script_gen.h"
#include "soak.h"
#include "target_driver.h"
#include "timeline.h"

namespace soak {

namespace {

using zvb::test::Op;

// A control's centre relative to the target's frame.
POINT centre_in(HWND control, const RECT& frame) {
    RECT r;
    GetWindowRect(control, &r);
    return POINT{(r.left + r.right) / 2 - frame.left, (r.top + r.bottom) / 2 - frame.top};
}

struct Built {
    zvb::OperationRecord* head;
    int button_clicks;  // per play
};

Built build_timeline(const zv::test::Target& t, int operations) {
    RECT frame;
    GetWindowRect(t.main, &frame);
    const zvb::Rect32 rect = {frame.left, frame.top, frame.right, frame.bottom};
    const char* title = t.title().c_str();
    const POINT edit = centre_in(t.edit, frame), button = centre_in(t.button, frame), pad = centre_in(t.pad, frame);
    auto on = [&](int32_t code, POINT p) { return Op(code).win(title, "zv_test_target", rect).at(p.x, p.y); };
    auto key = [&](int32_t code, uint32_t vk, uint32_t modifiers) {
        return Op(code).win(title, "zv_test_target", rect).key(vk, modifiers);
    };
    auto wheel = [&](int delta) {
        Op op = on(zvb::kCodeWheelUp + (delta < 0), pad);
        op.r.mouse_data = int32_t(uint32_t(uint16_t(int16_t(delta))) << 16);
        return op;
    };
    const Op cycle[] = {
        on(zvb::kCodeLeftClick, edit),
        key(zvb::kCodeKeyInput, 'A', zvb::kModCtrl),  // select what earlier passes typed
        key(zvb::kCodeKeyInput, VK_DELETE, 0),
        key(zvb::kCodeKeyInput, 'H', zvb::kModShift),
        key(zvb::kCodeKeyInput, 'I', 0),
        Op(zvb::kCodeSendText).text("soak"),
        Op(zvb::kCodeSetText).text("clip"),
        key(zvb::kCodeKeyInput, 'V', zvb::kModCtrl),
        on(zvb::kCodeLeftClick, button),
        on(zvb::kCodeRightClick, pad),
        on(zvb::kCodeLeftDoubleClick, pad),
        wheel(120),
        wheel(-120),
        on(zvb::kCodeMouseMove, POINT{pad.x + 5, pad.y + 5}),
        Op(zvb::kCodeWait).wait(0),
        Op(zvb::kCodeDateTime).text("%Y/%m/%d %H:%M:%S"),
        Op(zvb::kCodeImeSettings).data(0, 0),
        key(zvb::kCodeKeyDown, VK_SHIFT, zvb::kModShift),
        key(zvb::kCodeKeyUp, VK_SHIFT, 0),
    };
    const int cycle_length = int(sizeof cycle / sizeof cycle[0]);
    Built b = {zvb::timeline_new(), 0};
    for (int i = 0; i < operations; ++i) {
        const Op& op = cycle[i % cycle_length];
        zvb::OperationRecord* r = zvb::record_new();
        memcpy(zvb::record_bytes(r), zvb::record_bytes(&op.r), zvb::kRecordBytes);
        zvb::timeline_append(b.head, r);
        if (op.r.code == zvb::kCodeLeftClick && op.r.mouse_rel.x == button.x) ++b.button_clicks;
    }
    return b;
}

size_t count_lines(const std::string& log, const std::string& start) {
    size_t n = 0;
    for (size_t at = 0; (at = log.find("\n" + start, at)) != std::string::npos; ++at) ++n;
    return n;
}

}  // namespace

int run_plays(int operations, int plays) {
    use_own_programs();
    if (!zv::test::have_desktop()) {
        std::fprintf(stderr, "zv_soak: no desktop to play on\n");
        return 1;
    }
    zv::test::Target target(kTargetLifetimeMs);
    if (!target.started()) {
        std::fprintf(stderr, "zv_soak: zv_target did not start\n");
        return 1;
    }
    Built built = build_timeline(target, operations);
    zvb::ScenarioEntry* e = zvb::entry_new();
    e->play_start_confirm = e->play_end_confirm = 0;
    e->check_window_title = e->check_window_class = e->always_check_window = 1;
    e->check_desktop_control_class = e->check_busy = 1;
    e->recovery_window_pos = e->recovery_window_size = 0;
    e->loop_count = plays;
    e->play_id = 7;
    zvb::ScriptRequest req;
    req.notify = true;
    req.play = {100, 10, 10, 100, 1000, 0};
    const std::string script = zvb::script_text_of_records(e, built.head, req);
    zvb::entry_free(e);
    zvb::timeline_free(built.head);
    wchar_t temp[MAX_PATH + 1];
    GetTempPathW(MAX_PATH + 1, temp);
    const std::wstring path = std::wstring(temp) + L"zv_soak_play.ksc";
    std::ofstream(path.c_str(), std::ios::binary) << script;

    std::printf("zvs_app plays %d operations %d times against %s\n", operations, plays, target.title().c_str());
    std::fflush(stdout);
    const DWORD t0 = GetTickCount();
    HANDLE app = nullptr;
    std::vector<Sample> samples, target_samples;
    int starts = 0, ends = 0;
    long long steps = 0;
    HANDLE target_process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, target.pid());
    auto take = [&](const char* label) {
        samples.push_back(sample(app, label, t0));
        if (target_process) target_samples.push_back(sample(target_process, label, t0));
    };
    RecorderWindow recorder([&](UINT message, WPARAM, LPARAM) {
        if (message == 1134) {
            ++starts;
            // At the start of a play: the one before has released what it
            // held, and the process is certainly still there.
            if (starts == 2) take("start");
            if (starts == plays / 2 + 1 && plays >= 4) take("middle");
            if (starts == plays && plays >= 3) take("end");
            if (starts % 10 == 0) {
                Sample s = sample(app, "", t0);
                std::printf("  play %d/%d at %.0f s: private %lld KB, %lld handles\n", starts, plays, s.seconds,
                            (long long)s.private_kb, (long long)s.handles);
                std::fflush(stdout);
            }
        } else if (message == 1135) {
            ++ends;
        } else {
            ++steps;
        }
    });
    app = start(L"\"" + own_folder() + L"zvs_app.exe\" \"" + path + L"\"");
    if (!app) {
        std::fprintf(stderr, "zv_soak: zvs_app did not start\n");
        return 1;
    }
    wait_for(app, INFINITE);
    DWORD exit_code = 0;
    GetExitCodeProcess(app, &exit_code);
    CloseHandle(app);
    if (target_process) CloseHandle(target_process);
    DeleteFileW(path.c_str());
    const double seconds = (GetTickCount() - t0) / 1000.0;

    const std::string log = "\n" + target.log();
    const size_t clicked = count_lines(log, "clicked button");
    std::printf("\n%d plays in %.0f s (%.2f s a play), zvs_app exit code %lu\n", starts, seconds,
                starts ? seconds / starts : 0.0, exit_code);
    bool ok = exit_code == 0;
    auto check = [&](const char* what, long long got, long long want) {
        std::printf("  %-28s %lld (expected %lld)%s\n", what, got, want, got == want ? "" : "  MISMATCH");
        ok = ok && got == want;
    };
    check("play starts", starts, plays);
    check("play ends", ends, plays);
    check("steps", steps, (long long)plays * operations);
    check("button clicks the target saw", (long long)clicked, (long long)plays * built.button_clicks);
    if (clicked != size_t(plays) * built.button_clicks) {
        // What the target saw, message by message, shows where a click came from.
        const std::wstring kept = std::wstring(temp) + L"zv_soak_target.log";
        std::ofstream(kept.c_str(), std::ios::binary) << log;
        std::printf("  the target's log is kept in %ls\n", kept.c_str());
    }
    ok = report("zvs_app (the player)", samples) && ok;
    report("zv_target (for comparison; its log grows with every play)", target_samples);
    return ok ? 0 : 1;
}

}  // namespace soak
