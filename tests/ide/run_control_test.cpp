// The script editor's run control with a recording stand-in for its
// windows: the worker runs on a thread of its own while the test plays the
// window thread (commands, typed input) and watches marks, variables and
// console text.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "run_control.h"
#include "utf.h"
#include "variable_rows.h"
#include "zv_test_support.h"

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;
using namespace zvs;

namespace {

std::string u8(const std::u16string& s) { return zv::utf16_to_utf8(s.data(), s.size()); }

// The windows as the run sees them, recording what it does. Every entry
// runs on the worker thread (the test thread only reads, under the lock).
struct FakeWindows {
    std::mutex m;
    std::condition_variable changed;
    std::u16string script;
    std::string console;             // colour marks shown as {NN} and {}
    std::vector<long> marks;         // every run-line mark, -1 for removal
    long error_line = -1;
    std::string variables;           // the last variables shown, "a=1 b=2"
    int variable_updates = 0;
    bool input_on = false;
    std::u16string typed;
    int input_resets = 0;

    RunView view() {
        RunView v = {};
        v.ctx = this;
        v.fetch_script = [](void* c, std::u16string* text, std::u16string* path) {
            auto* w = static_cast<FakeWindows*>(c);
            std::lock_guard<std::mutex> g(w->m);
            *text = w->script;
            path->clear();
            return true;
        };
        v.append = [](void* c, const std::u16string& text) {
            std::string shown;
            for (size_t i = 0; i < text.size(); ++i) {
                if (text[i] != 3) {
                    shown += u8(text.substr(i, 1));
                } else if (i + 1 < text.size() && text[i + 1] >= u'0' && text[i + 1] <= u'9') {
                    size_t digits = i + 2 < text.size() && text[i + 2] >= u'0' && text[i + 2] <= u'9' ? 2 : 1;
                    shown += "{" + u8(text.substr(i + 1, digits)) + "}";
                    i += digits;
                } else {
                    shown += "{}";
                }
            }
            static_cast<FakeWindows*>(c)->update([&](FakeWindows& w) { w.console += shown; });
        };
        v.console_empty = [](void* c) {
            auto* w = static_cast<FakeWindows*>(c);
            std::lock_guard<std::mutex> g(w->m);
            return w->console.empty();
        };
        v.reset_input = [](void* c) {
            static_cast<FakeWindows*>(c)->update([](FakeWindows& w) {
                w.input_on = false;
                ++w.input_resets;
            });
        };
        v.start_input = [](void* c) { static_cast<FakeWindows*>(c)->update([](FakeWindows& w) { w.input_on = true; }); };
        v.input_pending = [](void* c) {
            auto* w = static_cast<FakeWindows*>(c);
            std::lock_guard<std::mutex> g(w->m);
            return w->input_on;
        };
        v.input_text = [](void* c) {
            auto* w = static_cast<FakeWindows*>(c);
            std::lock_guard<std::mutex> g(w->m);
            return w->typed;
        };
        v.show_variables = [](void* c, ksc::Scope* scope) {
            std::string shown;
            for (const VariableRow& row : snapshot_variables(scope))
                shown += (shown.empty() ? "" : " ") + u8(row.name) + "=" + u8(row.value);
            static_cast<FakeWindows*>(c)->update([&](FakeWindows& w) {
                w.variables = shown;
                ++w.variable_updates;
            });
        };
        v.mark_run_line = [](void* c, long line) {
            static_cast<FakeWindows*>(c)->update([&](FakeWindows& w) { w.marks.push_back(line); });
        };
        v.mark_error_line = [](void* c, long line) {
            static_cast<FakeWindows*>(c)->update([&](FakeWindows& w) { w.error_line = line; });
        };
        v.update_menus = [](void*) {};
        v.set_directory = [](void*, const std::u16string&) {};
        v.clock_text = [](void*) { return std::u16string(u"12:34"); };
        v.status_text = [](void*, RunText id) {
            switch (id) {
            case kTextStart: return std::u16string(u"Start");
            case kTextEnd: return std::u16string(u"End");
            case kTextStop: return std::u16string(u"Stop");
            default: return std::u16string(u"Result: ");
            }
        };
        v.alloc_error = [](void*) {};
        return v;
    }

    template <class F>
    void update(F f) {
        {
            std::lock_guard<std::mutex> g(m);
            f(*this);
        }
        changed.notify_all();
    }

    // Waits (at most 10 s) until pred holds; false on timeout.
    template <class P>
    bool wait(P pred) {
        std::unique_lock<std::mutex> g(m);
        return changed.wait_for(g, std::chrono::seconds(10), [&] { return pred(*this); });
    }
};

// A run of one script: the worker thread and the windows it reports to.
struct ScriptRun {
    FakeWindows windows;
    RunControl control;
    std::thread worker;

    explicit ScriptRun(const char16_t* script) : control(windows.view()) {
        RunControl::install_builtins();
        windows.script = script;
        control.set_speed(kNoWait);
    }
    ~ScriptRun() {
        if (!worker.joinable()) return;
        control.stop();  // a failed test leaves no endless run behind
        control.exec();
        worker.join();
    }
    void start_if(bool start) {
        if (start) worker = std::thread([this] { control.run(); });
    }
    bool finished() {
        return windows.wait([](FakeWindows& w) {
            return w.console.find("End") != std::string::npos || w.console.find("Stop") != std::string::npos;
        });
    }
    bool marked(long line) {
        return windows.wait([line](FakeWindows& w) { return !w.marks.empty() && w.marks.back() == line; });
    }
};

// Step exec stops before the first line; each further step advances one
// line and shows the variables of the line before; Exec runs to the end.
TEST(RunControl, StepsLineByLineWithVariables) {
    ScriptRun r(u"a = 1\nb = a + 1\n\nc = b * 2\nprint(c)\n");
    r.start_if(r.control.step_exec());
    ASSERT_TRUE(r.marked(0));
    EXPECT_EQ(r.windows.variable_updates, 1) << "only the clearing at the start";
    EXPECT_FALSE(r.control.step_exec()) << "a running worker is not started again";
    ASSERT_TRUE(r.marked(1));
    ASSERT_TRUE(r.windows.wait([](FakeWindows& w) { return w.variables == "a=1"; }));
    r.control.step_exec();
    ASSERT_TRUE(r.marked(3)) << "the blank line is passed over";
    EXPECT_EQ(r.windows.variables, "a=1 b=2");
    EXPECT_FALSE(r.control.exec());
    ASSERT_TRUE(r.finished());
    r.worker.join();
    EXPECT_EQ(r.windows.marks, (std::vector<long>{0, 1, 3, -1, -1})) << "Exec at No Wait removes the mark";
    EXPECT_EQ(r.windows.variables, "a=1 b=2 c=4") << "the variables at the end of the top level";
    EXPECT_EQ(r.windows.console, "{14}12:34 {12}Start\r\n4\r\n{14}12:34 {12}End");
    EXPECT_FALSE(r.control.running());
}

// Run to a line goes there at full speed and pauses; at No Wait the run
// then makes no marks; the first Stop ends an endless loop.
TEST(RunControl, RunToLineThenStopAnEndlessLoop) {
    ScriptRun r(u"i = 0\nwhile (1) {\n\ti++\n\tj = i\n}\n");
    r.control.set_speed(kFast);
    r.start_if(r.control.run_to(3));
    ASSERT_TRUE(r.marked(3));
    EXPECT_THAT(r.windows.marks, ElementsAre(3)) << "no marks on the way";
    r.control.set_speed(kNoWait);  // removes the mark
    r.control.exec();               // and so does Exec at No Wait
    std::this_thread::sleep_for(std::chrono::milliseconds(50));  // lets the loop run freely a while
    EXPECT_FALSE(r.control.stop()) << "the first Stop only asks";
    ASSERT_TRUE(r.finished());
    r.worker.join();
    EXPECT_THAT(r.windows.marks, ElementsAre(3, -1, -1, -1)) << "no line marks at No Wait";
    EXPECT_THAT(r.windows.console, HasSubstr("{12}Stop"));
    EXPECT_THAT(r.windows.console, Not(HasSubstr("End")));
    EXPECT_THAT(r.windows.variables, HasSubstr("i=")) << "a stop at No Wait shows where it stopped";
}

// print and input share the newline rule; a stop while input() waits ends
// the run; an engine error marks its line and shows the text after a time
// stamp; strict mode and hex results follow the options.
TEST(RunControl, InputErrorsAndResults) {
    {
        ScriptRun r(u"print(\"name? \")\nx = input()\nprint(\"got \" + x)\ny = 1 / 0\n");
        r.start_if(r.control.exec());
        ASSERT_TRUE(r.windows.wait([](FakeWindows& w) { return w.input_on; }));
        r.windows.update([](FakeWindows& w) {
            w.typed = u"abc";
            w.console += "abc\r\n";  // the console echoes what is typed
            w.input_on = false;
        });
        ASSERT_TRUE(r.finished());
        r.worker.join();
        EXPECT_EQ(r.windows.error_line, 3);
        EXPECT_THAT(r.windows.console, HasSubstr("Start\r\nname? abc\r\ngot abc\r\n{14}12:34 {04}Error: "));
        EXPECT_THAT(r.windows.console, HasSubstr("(4): y = 1 / 0\r\n{14}12:34 {12}End"));
    }
    {
        ScriptRun r(u"x = input()\nprint(x)\n");
        r.start_if(r.control.exec());
        ASSERT_TRUE(r.windows.wait([](FakeWindows& w) { return w.input_on; }));
        r.control.stop();
        ASSERT_TRUE(r.finished());
        r.worker.join();
        EXPECT_THAT(r.windows.console, HasSubstr("Start\r\n\r\n{14}12:34 {12}Stop"));
        EXPECT_FALSE(r.windows.input_on);
    }
    for (bool strict : {false, true}) {
        ScriptRun r(u"var a = {1, 255}\nb = 2\nexit a[1] + b\n");
        r.control.set_options(strict, true);
        r.start_if(r.control.exec());
        ASSERT_TRUE(r.finished());
        r.worker.join();
        if (strict) {
            EXPECT_THAT(r.windows.console,
                        HasSubstr(zv::test::tr("b :Undefined variable(2): b = 2", "b :変数が定義されていません(2): b = 2")));
            EXPECT_EQ(r.windows.error_line, 1);
            EXPECT_THAT(r.windows.console, Not(HasSubstr("Result")));
        } else {
            EXPECT_THAT(r.windows.console, HasSubstr("{12}End\r\n{14}12:34 {12}Result: {}0x101"));
        }
    }
}

TEST(RunControl, VariableSnapshotShowsInnermostNamesAndArrays) {
    ScriptRun r(u"a = {1, \"x\", {2.5}}\ns = \"hi\"\nfunction f(a) {\n\tb = a\n\tb = 0\n}\nf(7)\n");
    r.start_if(r.control.run_to(4));
    ASSERT_TRUE(r.marked(4));
    EXPECT_EQ(r.windows.variables, "a=7 b=7 s=\"hi\"") << "the parameter hides the outer a";
    r.control.exec();
    ASSERT_TRUE(r.finished());
    r.worker.join();
    EXPECT_EQ(r.windows.variables, "a={1,\"x\",{2.5000000000000000}} s=\"hi\"");
}

}  // namespace
