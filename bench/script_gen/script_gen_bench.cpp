// Script generation benchmark: the play script of long timelines (text in
// memory, and the whole file written from the .zv file), and of groups
// nested 1 to 64 deep with a timeline on every level. Time should grow
// linearly with the operations and with the depth.
//
//   script_gen_bench [-r REPS] [-c] WORK_DIR
//
// -c measures the process's CPU time instead of wall time: steadier on a
// busy machine (waits for the disk do not count then).
#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>

#include "operation_codes.h"
#include "operation_file.h"
#include "scenario.h"
#include "script_gen.h"
#include "timeline.h"

using namespace zvb;

namespace {

int g_reps = 5;
bool g_cpu = false;

double now_ms() {
    if (g_cpu) return double(std::clock()) * 1000.0 / CLOCKS_PER_SEC;
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

double best_ms(const std::function<void()>& run) {
    double best = -1;
    for (int i = 0; i < g_reps; ++i) {
        double t0 = now_ms();
        run();
        double ms = now_ms() - t0;
        if (best < 0 || ms < best) best = ms;
    }
    return best;
}

std::u16string u16(const std::string& s) { return std::u16string(s.begin(), s.end()); }

// A recorded session's mix: clicks that switch between two windows (each
// switch writes the check block and the restoration), typing with and
// without modifiers, moves, wheels, waits and clipboard texts.
OperationRecord* mixed_timeline(int count) {
    static const char16_t* const kTitles[] = {u"Report \"Q1\" - C:\\data\\notes.txt", u"Invoice 2024 - Calc"};
    static const char16_t* const kClasses[] = {u"Notepad", u"CalcFrame"};
    OperationRecord* head = timeline_new();
    for (int i = 0; i < count; ++i) {
        OperationRecord* r = record_new();
        r->size = kRecordBytes;
        r->data_version = 1;
        int window = (i / 7) % 2;
        record_set_text(r->window_title, kTitles[window]);
        record_set_text(r->window_class, kClasses[window]);
        r->window_rect = {100 + 50 * window, 80, 740 + 50 * window, 560};
        r->window_state = 1;
        r->interval = uint32_t(i % 5 * 120);
        switch (i % 10) {
        case 0: case 1: case 2:
            r->category = kCategoryMouse;
            r->code = kCodeLeftClick;
            r->mouse_rel = {20 + i % 300, 40 + i % 200};
            break;
        case 3:
            r->category = kCategoryMouse;
            r->code = i % 20 == 3 ? kCodeMouseMove : kCodeWheelDown;
            break;
        case 4: case 5: case 6:
            r->category = kCategoryKey;
            r->code = kCodeKeyInput;
            r->key_code = uint32_t('A' + i % 26);
            r->modifiers = i % 3 == 0 ? uint32_t(kModShift) : 0u;
            break;
        case 7:
            r->category = kCategoryKey;
            r->code = kCodeKeyInput;
            r->key_code = 0x0D;
            break;
        case 8:
            r->category = kCategoryOther;
            r->code = kCodeWait;
            r->event_data1 = i % 3 == 0 ? 3 : 0;
            record_set_text(r->event_text1, u"*Calc*");
            break;
        default:
            r->category = kCategoryOther;
            r->code = kCodeSetText;
            record_set_text(r->event_text1, u"line 1\r\nline \"2\" C:\\temp");
            break;
        }
        timeline_append(head, r);
    }
    return head;
}

ScenarioEntry* new_entry(const std::string& name, int32_t type, const std::string& folder) {
    ScenarioEntry* e = entry_new();
    entry_set_name(e, u16(name));
    e->type = type;
    entry_set_place(e, u16(folder));
    e->play_start_confirm = e->play_end_confirm = 1;
    e->check_window_title = e->check_window_class = 1;
    e->always_check_window = 0;
    e->check_busy = 1;
    e->recovery_window_size = 1;
    e->loop_count = 2;
    return e;
}

void check(bool ok, const char* what) {
    if (!ok) {
        fprintf(stderr, "script_gen_bench: %s failed\n", what);
        exit(1);
    }
}

// Groups nested `depth` deep, each holding one timeline (the same file)
// and the next group.
ScenarioEntry* nested_groups(int depth, const std::string& dir, const std::u16string& zv) {
    ScenarioEntry* top = new_entry("g0", kTypeGroup, dir);
    ScenarioEntry* group = top;
    for (int level = 0; level < depth; ++level) {
        group->child = list_new();
        ScenarioEntry* t = new_entry("t" + std::to_string(level), kTypeTimeline, dir);
        memcpy(t->path, zv.c_str(), (zv.size() + 1) * sizeof(char16_t));
        group->child->next = t;
        if (level + 1 < depth) {
            t->next = new_entry("g" + std::to_string(level + 1), kTypeGroup, dir);
            group = t->next;
        }
    }
    return top;
}

}  // namespace

int main(int argc, char** argv) {
    const char* dir = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (strcmp(argv[i], "-r") == 0 && i + 1 < argc)
            g_reps = atoi(argv[++i]);
        else if (strcmp(argv[i], "-c") == 0)
            g_cpu = true;
        else
            dir = argv[i];
    }
    if (!dir || g_reps < 1) {
        fprintf(stderr, "usage: script_gen_bench [-r REPS] [-c] WORK_DIR\n");
        return 2;
    }
    std::string work = dir;
    std::u16string out = u16(work + "/out.ksc");
    ScriptRequest req;
    req.notify = true;

    printf("operations   in memory   per 1000    read .zv   records to file   .zv to file   script\n");
    for (int count : {5000, 10000, 20000, 40000}) {
        OperationRecord* head = mixed_timeline(count);
        ScenarioEntry* e = new_entry("t", kTypeTimeline, work);
        uint32_t error = 0;
        check(timeline_write(e->path, head, &error), "writing the timeline");
        size_t bytes = 0;
        double memory = best_ms([&] { bytes = script_text_of_records(e, head, req).size(); });
        double read = best_ms([&] { timeline_free(timeline_read(e->path)); });
        double records = best_ms([&] { check(script_write_records(e, head, req, out.c_str(), &error), "writing"); });
        double file = best_ms([&] { check(script_write(e, req, out.c_str(), &error), "generation"); });
        printf("%10d  %7.2f ms  %6.3f ms  %7.2f ms  %13.2f ms  %9.2f ms  %5.1f MB\n", count, memory,
               memory * 1000 / count, read, records, file, double(bytes) / 1e6);
        entry_free(e);
        timeline_free(head);
    }

    const int per_level = 500;
    OperationRecord* head = mixed_timeline(per_level);
    std::u16string zv = u16(work + "/level.zv");
    uint32_t error = 0;
    check(timeline_write(zv.c_str(), head, &error), "writing the level timeline");
    timeline_free(head);
    printf("\ngroup depth (%d ops/level)   to file   per 1000 operations\n", per_level);
    for (int depth : {1, 8, 16, 32, 64}) {
        ScenarioEntry* top = nested_groups(depth, work, zv);
        double ms = best_ms([&] { check(script_write(top, req, out.c_str(), &error), "group generation"); });
        printf("%8d                  %8.2f ms  %6.3f ms\n", depth, ms, ms * 1000 / (depth * per_level));
        entry_free(top);
    }
    return 0;
}
