#include "run_control.h"

#include <chrono>
#include <cstring>

#include "builtins.h"
#include "eval.h"
#include "host.h"
#include "platform.h"
#include "unit.h"
#include "variable_rows.h"

namespace zvs {

using std::chrono::milliseconds;
using Guard = std::unique_lock<std::mutex>;

namespace {

constexpr int kPollMs = 100;

std::u16string display_text(const ksc::Value* v, bool hex) {
    return v->kind == ksc::kArray ? ksc::value_display(v, hex) : ksc::value_text(v);
}

}  // namespace

void RunControl::install_builtins() { ksc::builtins_init(builtin_error, builtin_print, builtin_input); }

// ---- commands ------------------------------------------------------------

bool RunControl::exec() {
    Guard g(lock_);
    target_ = -1;
    if (!running_) {
        step_ = go_ = false;
        changed();
        return true;
    }
    if (step_) {
        step_ = false;
        go_ = true;
        changed();
        wake_.notify_all();
        bool unmark = wait_ == kNoWait;
        g.unlock();
        if (unmark) view_.mark_run_line(view_.ctx, -1);
    }
    return false;
}

bool RunControl::start_stepping() {
    step_ = true;
    go_ = false;
    changed();
    return true;  // the caller starts the worker
}

bool RunControl::step_exec() {
    Guard g(lock_);
    target_ = -1;
    if (!running_) return start_stepping();
    if (step_) {
        go_ = true;
    } else {
        step_ = true;
        go_ = false;
    }
    changed();
    wake_.notify_all();
    return false;
}

bool RunControl::run_to(long line) {
    Guard g(lock_);
    target_ = line;
    if (!running_) return start_stepping();
    if (step_) {
        step_ = false;
        go_ = true;
        wake_.notify_all();
    }
    changed();
    return false;
}

bool RunControl::stop() {
    Guard g(lock_);
    if (!running_) return false;
    if (stop_) return true;
    stop_ = true;
    if (step_) go_ = true;
    changed();
    wake_.notify_all();
    return false;
}

void RunControl::kill(void (*terminate)(void*), void* arg) {
    {
        // Held while the worker ends, so that it cannot end inside the lock.
        Guard g(lock_);
        terminate(arg);
        running_ = false;
    }
    view_.mark_run_line(view_.ctx, -1);
    view_.reset_input(view_.ctx);
    report(kTextStop);
    view_.update_menus(view_.ctx);
}

void RunControl::set_speed(int wait) {
    Guard g(lock_);
    wait_ = wait;
    changed();
    bool unmark = wait == kNoWait && running_;
    wake_.notify_all();
    g.unlock();
    if (unmark) view_.mark_run_line(view_.ctx, -1);
}

void RunControl::set_options(bool strict, bool hex) {
    Guard g(lock_);
    strict_ = strict;
    hex_ = hex;
}

bool RunControl::running() {
    Guard g(lock_);
    return running_;
}

bool RunControl::stop_pending() {
    Guard g(lock_);
    return running_ && stop_;
}

int RunControl::speed() {
    Guard g(lock_);
    return wait_;
}

// ---- the worker ------------------------------------------------------------

std::u16string RunControl::stamp() {
    std::u16string s = view_.console_empty(view_.ctx) ? u"" : u"\r\n";
    return s + kMarkTime + view_.clock_text(view_.ctx);
}

void RunControl::report(RunText id, const std::u16string& tail) {
    view_.append(view_.ctx, stamp() + u" " + kMarkStatus + view_.status_text(view_.ctx, id) + tail);
}

void RunControl::run() {
    void* ctx = view_.ctx;
    view_.mark_error_line(ctx, -1);
    std::u16string text, path;
    if (!view_.fetch_script(ctx, &text, &path)) {
        view_.alloc_error(ctx);
        return;
    }
    if (text.empty()) return;
    view_.reset_input(ctx);
    view_.show_variables(ctx, nullptr);
    if (!view_.console_empty(ctx)) view_.append(ctx, u"\r\n--");
    bool strict;
    {
        Guard g(lock_);
        running_ = true;
        stop_ = false;
        changed();
        strict = strict_;
        run_hex_ = hex_;
    }

    // The script's folder becomes the current one; an unsaved script runs
    // in the current folder and has no file name in its error lines.
    std::u16string dir, name;
    ksc::split_path(path.c_str(), dir, name);
    if (!dir.empty()) view_.set_directory(ctx, dir);
    char16_t* cwd = dir.empty() ? zv::current_directory() : nullptr;
    ksc::ScriptUnit* unit = ksc::unit_new_root(dir.empty() ? (cwd ? cwd : u"") : dir.c_str(),
                                               name.empty() ? nullptr : name.c_str(), strict, true);
    zv::heap_free(cwd);
    auto* copy = static_cast<char16_t*>(zv::heap_alloc((text.size() + 1) * sizeof(char16_t)));
    ksc::Scope* top = unit ? ksc::scope_new(unit, nullptr) : nullptr;
    if (!copy || !top) {
        zv::heap_free(copy);
        ksc::scope_free(top);
        if (unit) ksc::unit_free(unit);
        {
            Guard g(lock_);
            running_ = false;
        }
        view_.alloc_error(ctx);
        view_.update_menus(ctx);
        return;
    }
    memcpy(copy, text.data(), text.size() * sizeof(char16_t));
    unit->editor = 1;       // steps on closing braces, names as written
    unit->step_ctx = this;  // the built-ins find the run through it
    // At No Wait with nothing to stop on, the script runs without steps
    // (at full speed); any command turns them on again within a loop pass.
    unit->free_run = &free_run_;
    view_.update_menus(ctx);
    report(kTextStart);
    newline_ = true;
    last_line_ = -1;

    ksc::Value result;
    ksc::result_init(&result);
    int rc = ksc::kWalkError;
    if (ksc::unit_load_text(unit, copy, text.size())) {
        unit->step = hook_entry;
        rc = ksc::host_run(top, &result);
    } else {
        ksc::scope_free(top);
    }
    bool stopped;
    {
        Guard g(lock_);
        stopped = stop_;
    }
    report(stopped ? kTextStop : kTextEnd);
    bool failed = rc == ksc::kWalkError || rc == ksc::kWalkBreak || rc == ksc::kWalkContinue;
    if (!failed && !stopped && result.kind != ksc::kNoValue) {
        // The value goes in an append of its own: after the colour reset
        // mark a leading digit would read as a colour number.
        report(kTextResult, kMarkNormal);
        view_.append(ctx, variable_value_text(&result, run_hex_));
    }
    ksc::value_clear(&result);
    ksc::unit_free(unit);
    view_.mark_run_line(ctx, -1);
    {
        Guard g(lock_);
        running_ = false;
    }
    view_.update_menus(ctx);
}

// ---- the step hook -----------------------------------------------------------

void RunControl::changed() {
    free_run_.store(wait_ == kNoWait && !step_ && !stop_ && target_ < 0, std::memory_order_release);
}

RunControl::Snapshot RunControl::snapshot() {
    Guard g(lock_);
    return Snapshot{step_, go_, stop_, wait_, target_};
}

void RunControl::wait_for_go(int ms) {
    Guard g(lock_);
    if (ms < 0) {
        while (!go_) wake_.wait_for(g, milliseconds(kPollMs));
        go_ = false;
        return;
    }
    wake_.wait_for(g, milliseconds(ms), [this] { return stop_ || step_; });
}

int RunControl::hook_entry(ksc::Scope* scope, const ksc::SyntaxNode* node, void* ctx) {
    return static_cast<RunControl*>(ctx)->hook(scope, node);
}

int RunControl::hook(ksc::Scope* scope, const ksc::SyntaxNode* node) {
    if (node && free_run_.load(std::memory_order_acquire)) {
        if (node->line >= 0) last_line_ = node->line;
        return 0;
    }
    Snapshot s = snapshot();
    if (s.stop) {
        if (s.wait == kNoWait && !s.step) view_.show_variables(view_.ctx, scope);
        return -1;
    }
    if (!node) {
        view_.show_variables(view_.ctx, scope);
        return 0;
    }
    long line = node->line;
    if (s.target >= 0) {
        if (line < 0 || line == last_line_) return 0;
        if (line != s.target) {
            last_line_ = line;  // full speed up to the target line
            return 0;
        }
        Guard g(lock_);
        step_ = true;
        go_ = false;
        target_ = -1;
        changed();
        s.step = true;
    }
    if (s.wait == kNoWait && !s.step) {
        if (line >= 0) last_line_ = line;
        return 0;
    }
    if (last_line_ != -1) {
        if (line < 0 || line == last_line_) return 0;
        view_.show_variables(view_.ctx, scope);
    }
    if (line < 0) return 0;
    last_line_ = line;
    view_.mark_run_line(view_.ctx, line);
    wait_for_go(s.step ? -1 : s.wait);
    return 0;
}

// ---- print, input, error ----------------------------------------------------

RunControl* RunControl::of(ksc::Scope* scope) {
    if (!scope || !scope->unit || !scope->unit->root) return nullptr;
    return static_cast<RunControl*>(scope->unit->root->step_ctx);
}

void RunControl::start_line() {
    if (newline_ && !view_.console_empty(view_.ctx)) view_.append(view_.ctx, u"\r\n");
    newline_ = false;
}

int32_t KSC_STDCALL RunControl::builtin_print(ksc::Scope* scope, ksc::Node* args, ksc::Node*, char16_t*) {
    if (!args) return -2;
    RunControl* rc = of(scope);
    if (!rc) return 0;
    rc->start_line();
    rc->view_.append(rc->view_.ctx, display_text(args->value, rc->run_hex_));
    return 0;
}

int32_t KSC_STDCALL RunControl::builtin_input(ksc::Scope* scope, ksc::Node*, ksc::Node* result, char16_t*) {
    RunControl* rc = of(scope);
    if (!rc) return 0;
    void* ctx = rc->view_.ctx;
    rc->start_line();
    rc->view_.start_input(ctx);
    while (rc->view_.input_pending(ctx)) {
        Guard g(rc->lock_);
        if (rc->stop_) {
            g.unlock();
            rc->view_.reset_input(ctx);  // the console takes no more typing for this run
            return 0;
        }
        rc->wake_.wait_for(g, milliseconds(kPollMs), [rc] { return rc->stop_; });
    }
    return ksc::result_set_text(result, rc->view_.input_text(ctx)) ? 0 : -1;
}

int32_t KSC_STDCALL RunControl::builtin_error(ksc::Scope* scope, ksc::Node* args, ksc::Node*, char16_t*) {
    if (!args) return -2;
    RunControl* rc = of(scope);
    if (!rc) return 0;
    int32_t line = args->next ? ksc::integer_of(args->next->value) : 0;
    rc->view_.append(rc->view_.ctx, rc->stamp() + u" " + kMarkError + display_text(args->value, rc->run_hex_));
    if (line > 0) rc->view_.mark_error_line(rc->view_.ctx, line - 1);
    rc->newline_ = true;  // whatever follows starts on a line of its own
    return 0;
}

}  // namespace zvs
