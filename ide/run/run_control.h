// Run control of the script editor: the run state shared by the window
// thread and the run's worker thread under one lock, the commands that set
// it (Exec, Step exec, Run to cursor, Stop, speed), the worker's run of the
// script, the step hook the engine calls before every node, and the
// window versions of print, input and error.
//
// Nothing here knows windows or threads: what a run does to the console,
// the editor and the variable view goes through a RunView table (on
// Windows each entry is a message sent to the window thread), and the
// caller starts and, on a second Stop, ends the worker.
#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>

#include "engine.h"

namespace zvs {

// Status texts of the program's string table.
enum RunText { kTextStart = 13, kTextEnd = 14, kTextStop = 15, kTextResult = 16 };

// Colour marks the run writes into the console: U+0003 and two digits.
constexpr char16_t kMarkTime[] = u"\x03" u"14";
constexpr char16_t kMarkStatus[] = u"\x03" u"12";
constexpr char16_t kMarkError[] = u"\x03" u"04";
constexpr char16_t kMarkNormal[] = u"\x03";

// What a run does outside the engine. Called on the worker thread unless
// noted; every entry may assume the worker waits until it returns.
struct RunView {
    void* ctx;
    // The editor's whole text and the edited file's path (empty: none).
    // False when memory runs out.
    bool (*fetch_script)(void* ctx, std::u16string* text, std::u16string* path);
    void (*append)(void* ctx, const std::u16string& text);  // console, with colour marks
    bool (*console_empty)(void* ctx);
    void (*reset_input)(void* ctx);
    void (*start_input)(void* ctx);    // input mode on, focus to the console
    bool (*input_pending)(void* ctx);  // the line is not finished yet
    std::u16string (*input_text)(void* ctx);
    void (*show_variables)(void* ctx, ksc::Scope* scope);  // null clears
    void (*mark_run_line)(void* ctx, long line);            // -1 removes
    void (*mark_error_line)(void* ctx, long line);
    void (*update_menus)(void* ctx);
    void (*set_directory)(void* ctx, const std::u16string& dir);
    std::u16string (*clock_text)(void* ctx);  // local time without seconds
    std::u16string (*status_text)(void* ctx, RunText id);
    void (*alloc_error)(void* ctx);
};

// Execution speeds: the delay per new line in milliseconds.
enum RunSpeed { kNoWait = 0, kFast = 1, kNormal = 250, kSlow = 500 };

class RunControl {
public:
    explicit RunControl(const RunView& view) : view_(view) {}

    // Installs the window versions of print, input and error (once per
    // program, before any run).
    static void install_builtins();

    // ---- commands (window thread); true: start the worker now ----
    bool exec();
    bool step_exec();
    bool run_to(long line);
    // A first Stop requests the stop; a second one while the request is
    // pending answers true: the caller then ends the worker through kill().
    bool stop();
    // Ends the worker at once with terminate(arg), called under the run
    // lock (so the worker cannot end holding it), and finishes the run as a
    // stop: the current-line mark goes, the console shows "Stop". What the
    // run had allocated is left alone, since it may be half-changed.
    void kill(void (*terminate)(void*), void* arg);
    void set_speed(int wait);
    void set_options(bool strict, bool hex);

    bool running();
    bool stop_pending();
    int speed();

    // ---- the worker ----
    // One whole run: text, parse, top level, reports. Returns when it is
    // over; the caller then forgets the worker.
    void run();

private:
    struct Snapshot {
        bool step, go, stop;
        int wait;
        long target;
    };
    Snapshot snapshot();
    // A run about to start in step mode (under the lock).
    bool start_stepping();
    // Keeps free_run_ in step with the fields; called under the lock after
    // every change of step, stop, wait or target line.
    void changed();
    int hook(ksc::Scope* scope, const ksc::SyntaxNode* node);
    static int hook_entry(ksc::Scope* scope, const ksc::SyntaxNode* node, void* ctx);
    // Waits until a step is released (ms < 0), or ms have passed or a stop
    // or a switch to stepping came.
    void wait_for_go(int ms);

    static RunControl* of(ksc::Scope* scope);
    static int32_t KSC_STDCALL builtin_print(ksc::Scope*, ksc::Node* args, ksc::Node* result, char16_t*);
    static int32_t KSC_STDCALL builtin_input(ksc::Scope*, ksc::Node* args, ksc::Node* result, char16_t*);
    static int32_t KSC_STDCALL builtin_error(ksc::Scope*, ksc::Node* args, ksc::Node* result, char16_t*);
    void start_line();  // the newline rule of print and input
    std::u16string stamp();
    void report(RunText id, const std::u16string& tail = std::u16string());

    RunView view_;
    std::mutex lock_;
    std::condition_variable wake_;
    // Under lock_:
    bool running_ = false;
    bool step_ = false;
    bool go_ = false;
    bool stop_ = false;
    int wait_ = kNormal;
    long target_ = -1;
    bool strict_ = false;
    bool hex_ = false;
    // True while nothing asks the hook to look (No Wait, no step, no stop,
    // no target): the engine then runs the script without steps (the
    // unit's free-run flag), and a step that still comes reads only this,
    // so a run at full speed pays no lock. Written under the lock.
    std::atomic<bool> free_run_{false};
    // The worker's own:
    long last_line_ = -1;
    bool newline_ = false;
    bool run_hex_ = false;
};

}  // namespace zvs
