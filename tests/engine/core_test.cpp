// What the compiled evaluator could get wrong that the language tests would
// not show: variables found through slots against dynamic scoping, the exact
// steps a host sees (and stops mid-expression), deep recursion, a native
// function running the engine again, and the array position caches.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "builtins.h"
#include "eval.h"
#include "ksc_harness.h"
#include "parser.h"
#include "platform.h"
#include "unit.h"
#include "value.h"

using namespace ksc;
using namespace ksc_test;

TEST(CoreSlots, LooksFollowDynamicScopingAndNewVariables) {
    const std::pair<const char*, const char*> cases[] = {
        // A variable appearing later where a function looked before.
        {"function f() { return x }\na = f()\nx = 5\nexit {a, f()}", "{\"a\":0,5}"},
        // The same function from callers with different variables.
        {"function f() { return x }\nfunction g() { var x = 2; return f() }\nx = 1\nexit {f(), g(), f()}", "{1,2,1}"},
        // Recursion: the innermost call reads its caller's local.
        {"function d(n) { if (n == 0) { return seen }\nvar seen = n\nreturn d(n - 1) }\nexit d(3)", "1"},
        // A name made in a block dies with it; the next pass makes it again.
        {"s = 0\nfor (i = 0; i < 3; i++) {\n  if (i > 0) { s = s + t + 1 }\n  t = i\n}\nexit {s, t}",
         "{\"s\":2,\"t\":0}"},
        // Shadowing by var, assignment to the outer one, a function's own local.
        {"x = 1; y = 0\n{ var x = 2; y = x; x = 3 }\nfunction f() { z = x; x = 7 }\nf()\nexit {x, y, z}",
         "{\"x\":7,\"y\":2,\"z\":0}"},
        // A caller's block variable is visible to the callee only while it lives.
        {"function f() { return w }\nr = 0\nfor (i = 0; i < 2; i++) { var w = i + 10; r = r * 100 + f() }\nexit {r, f()}",
         "{\"r\":1011,0}"},
        // Each call one deeper than the last look searches only its caller's
        // scope: a parameter there shadows, below it the look stays as it was.
        {"function d(n) { r = r * 10 + v\nvar v = n\nif (n > 0) { d(n - 1) } }\nv = 9; r = 0\nd(3)\nexit r", "9321"},
        {"function d(n) { r = r * 10 + v\nif (n > 0) { if (n == 3) { e(n - 1) } else { d(n - 1) } } }\n"
         "function e(v) { d(v) }\nv = 9; r = 0\nd(5)\nexit r",
         "999222"},
        {"function s(n, &acc) { if (n > 0) { acc = acc + k; s(n - 1, acc) } }\nk = 2; t = 0\ns(1000, t)\nexit t",
         "2000"},
        // A for loop's step runs only after a whole pass through the body.
        {"for (; 0; x) {}\nx = x + 4\nfor (; 1; y = 2) { break }\ny = y + 1\nexit {x, y}", "{\"x\":4,\"y\":1}"},
        // An assignment to a computed value stores nowhere, in a block too
        // (the comparison fused with its operands is no variable).
        {"s = \"a\"\nfor (i = 0; i < 2; i++) {\n  s != l = s\n  s == 1 = 5\n  i + 0 = 7\n}\nexit {s, l, i}",
         "{\"s\":\"a\",\"l\":0,\"i\":2}"},
        // By-reference parameters share the value, whichever slot holds it.
        {"function inc(&n) { n = n + 1 }\nfunction twice(&m) { inc(m); inc(m) }\na = {1, 2}; v = 5\ntwice(v); twice(a[1])\n"
         "exit {v, a}",
         "{\"v\":7,\"a\":{1,4}}"},
    };
    for (const auto& c : cases) EXPECT_EQ(value(c.first), c.second) << c.first;
    RunOptions strict;
    strict.strict = true;
    EXPECT_EQ(first_error("function f() { return q }\nvar q = 1\nf()\n{ var k = 1 }\nvar f2 = k", strict),
              error_line(kErrUndefinedVariable, 5, "var f2 = k", "k"));
}

namespace {

struct Trace {
    std::string steps;
    int stop_at = -1;  // stop before the n-th step
    int count = 0;
};

int record(Scope*, const SyntaxNode* n, void* ctx) {
    Trace* t = static_cast<Trace*>(ctx);
    if (t->count++ == t->stop_at) return 1;
    if (!t->steps.empty()) t->steps += ' ';
    t->steps += n ? std::to_string(n->kind) + ":" + std::to_string(n->line) : "end";
    return 0;
}

}  // namespace

// The nodes (kind:line) a step callback sees, as the language defines the
// walk: loops, branches, switch fall-through, defaults, short circuits.
TEST(CoreSteps, EveryNodeInWalkOrder) {
    const std::pair<const char*, const char*> cases[] = {
        {"s = 0\nfor (i = 0; i < 2; i++) {\n  if (i) { s += i } else { continue }\n}",
         "3:0 0:0 36:0 40:0 3:1 0:1 36:1 41:1 50:-1 3:1 0:1 25:1 46:1 64:1 3:2 45:2 48:-1 64:2 58:2 3:1 14:1 41:-1 "
         "47:-1 50:-1 3:1 0:1 25:1 46:1 64:1 3:2 45:2 64:2 3:2 3:2 37:2 19:2 36:2 47:-1 49:-1 3:1 14:1 41:-1 47:-1 "
         "50:-1 3:1 0:1 25:1 46:1 47:-1 51:-1"},
        {"function f(a, b = 2) { return a * b }\nswitch (f(1)) {\ncase 1: x = 1\ncase 2: x = 2\n  break\ndefault: x = 3\n}",
         "47:-1 52:-1 6:1 0:1 5:1 0:0 3:0 3:0 16:0 59:0 53:1 0:2 0:3 3:3 0:3 36:3 40:3 57:4"},
        {"i = 0\ndo { i++ } while (i < 2)\nwhile (i) { i--; break }\nx = {i, i && 1 || 0}",
         "3:0 0:0 36:0 40:0 50:-1 65:1 64:1 3:1 14:1 52:-1 3:1 0:1 25:1 45:1 47:-1 50:-1 65:1 64:1 3:1 14:1 52:-1 3:1 "
         "0:1 25:1 45:1 51:-1 40:1 50:-1 3:2 46:2 64:2 3:2 15:2 41:2 57:2 3:3 42:3 3:3 39:3 3:3 43:3 0:3 34:3 52:-1 "
         "44:3 36:3"},
    };
    for (const auto& c : cases) {
        Trace t;
        RunOptions options;
        options.step = record;
        options.step_ctx = &t;
        RunOutput r = run_ksc(c.first, options);
        EXPECT_EQ(r.errors.size(), 0u) << c.first;
        EXPECT_EQ(t.steps, c.second) << c.first;
    }
}

// A stop ends the run where it happens, like `exit` without a value:
// earlier effects stay, later ones never happen, post-increments settle, a
// stop inside a function hands its 0 up as the result, and the values the
// statement had pushed stay for the host. For every step of this script:
// walk result | values left | printed | result.
TEST(CoreSteps, StopsAtEveryNodeOfAnExpression) {
    const std::string script = "function g() { i = i + 100; return 1 }\ni = 5\nx = i++ + g() * 2\nprint(x)\nexit {i, x}";
    const char* expected =
        "-2|||-;-2|||-;-2|||-;-2|0||-;-2|0,5||-;-2|5||-;-2|||-;-2|0||-;-2|0,5||-;-2|0,5||-;-2|0,5,||-;-2|0,5||0;"
        "-2|0,5||0;-2|0,5||0;-2|0,5||0;-2|0,5||0;-2|0,5||0;-2|0,5||0;-2|0,5||0;-2|0,5,1||-;-2|0,5,1,2||-;"
        "-2|0,5,2||-;-2|0,7||-;-2|7||-;-2|||-;-2|||-;-2|7||-;-2|0|7|-;-2||7|-;-2||7|-;-2||7|-;-2||7|-;"
        "-2|{\"i\":106,\"x\":7}|7|-;-2|{\"i\":106,\"x\":7}|7|{\"i\":106,\"x\":7}";
    std::string all;
    for (int stop = 0;; ++stop) {
        Trace t;
        t.stop_at = stop;
        RunOptions options;
        options.step = record;
        options.step_ctx = &t;
        RunOutput r = run_ksc(script, options);
        std::string left;
        for (const std::string& v : r.stack) left += (left.empty() ? "" : ",") + v;
        if (!all.empty()) all += ';';
        all += std::to_string(r.rc) + "|" + left + "|" + r.printed + "|" + (r.has_result ? r.result : "-");
        if (t.count <= stop) break;  // this time it ran to the end
    }
    EXPECT_EQ(all, expected);
}

// The variables a paused host sees mid-expression: assignments before the
// pause done, the post-increment still pending until the statement ends.
namespace {

// Steps as kind:line:scope depth (nested scopes, up to the top one).
int record_depth(Scope* s, const SyntaxNode* n, void* ctx) {
    auto* steps = static_cast<std::vector<std::string>*>(ctx);
    int depth = 0;
    for (Scope* p = s; p; p = p->parent) ++depth;
    steps->push_back(n ? std::to_string(n->kind) + ":" + std::to_string(n->line) + ":" + std::to_string(depth) : "end");
    return 0;
}

}  // namespace

// A host running free (no steps) that wants steps again from the n-th
// print() on: the print's call node steps at once (as every native call
// does until then), and from the next pass of a loop or the next function
// called every step the stepped run makes, in the same scopes (blocks the
// free code ran without a scope get theirs). Results never change. In a
// script of one unit, the steps from then on are the stepped run's last.
TEST(CoreSteps, FreeRunHandsOverToSteps) {
    const struct {
        const char* script;
        bool tail;  // every print is in a loop of its own unit
    } cases[] = {
        {"t = 0\nfor (i = 0; i < 3; i++) {\n  { if (i % 2) { for (j = 0; j < 2; j++) { print(j); { t += j } } } }\n"
         "  { print(i) }\n}\nexit t",
         true},
        {"s = 0\nwhile (s < 3) { s++; { { print(s) } } }\ndo { print(s); s-- } while (s > 0)\n"
         "switch (s) { case 0: for (k = 0; k < 2; k++) { { print(k) } } }\nexit s",
         true},
        {"function g() { return 1 }\nfor (i = 0; i < 3; i++) { { print(i + g()) } }\nexit i", true},
        {"function f(n) {\n  var t = 0\n  for (i = 0; i < n; i++) { { var u = i; t += u } print(t) }\n  return t\n}\n"
         "x = 0\nwhile (x < 2) { x = x + f(2) }\nprint(x)\nexit {x, f(1)}",
         false},
    };
    const std::string call = std::to_string(SK_CALL) + ":";
    for (const auto& c : cases) {
        std::vector<std::string> reference;
        RunOptions options;
        options.step = record_depth;
        options.step_ctx = &reference;
        RunOutput stepped = run_ksc(c.script, options);
        ASSERT_TRUE(stepped.errors.empty()) << c.script;
        int prints = 0;
        for (const std::string& st : reference) prints += st.rfind(call, 0) == 0;
        for (int n = -1; n <= prints; ++n) {
            std::vector<std::string> steps;
            options.step_ctx = &steps;
            options.free_run = true;
            options.steps_after_prints = n;
            RunOutput r = run_ksc(c.script, options);
            std::string where = std::string(c.script) + " / steps after print " + std::to_string(n);
            EXPECT_EQ(r.printed, stepped.printed) << where;
            EXPECT_EQ(r.result, stepped.result) << where;
            EXPECT_EQ(r.rc, stepped.rc) << where;
            EXPECT_TRUE(r.errors.empty()) << where;
            if (n == 0) {
                EXPECT_EQ(steps, reference) << where;
                continue;
            }
            if (steps.empty()) continue;  // never cleared, or after the last loop
            // Before the move to the stepped form only the calls of native
            // functions step (in the free code's scopes); then the stepped
            // run's own steps follow, in order.
            // (A function's scope has its caller's as parent, which may be
            // one the free code left out: depths count in one unit only.)
            auto key = [&](const std::string& st) {
                return c.tail && st.rfind(call, 0) ? st : st.substr(0, st.rfind(':'));
            };
            EXPECT_EQ(steps[0].rfind(call, 0), 0u) << where << ": " << steps[0];
            size_t at = 0;
            for (size_t k = 0; k < steps.size(); ++k) {
                while (at < reference.size() && key(reference[at]) != key(steps[k])) ++at;
                EXPECT_LT(at, reference.size()) << where << ": step " << k << " " << steps[k];
                ++at;
            }
            size_t moved = 0;
            while (moved < steps.size() && !steps[moved].rfind(call, 0)) ++moved;
            if (c.tail && moved < steps.size()) {
                EXPECT_TRUE(std::equal(steps.begin() + long(moved), steps.end(), reference.end() - long(steps.size() - moved)))
                    << where;
            }
        }
    }
}

TEST(CoreSteps, VariablesSeenWhilePaused) {
    struct Seen {
        std::vector<std::string> at_call;
    } seen;
    RunOptions options;
    options.step_ctx = &seen;
    options.step = [](Scope* s, const SyntaxNode* n, void* ctx) {
        if (!n || n->kind != SK_CALL) return 0;
        scope_visit_variables(
            s,
            [](int depth, const char16_t* name, const Value* v, void* c) {
                static_cast<Seen*>(c)->at_call.push_back(std::to_string(depth) + u8(name) + "=" +
                                                         u8(value_display(v, false)));
            },
            ctx);
        return 0;
    };
    RunOutput r = run_ksc("i = 1; x = 0\n{ var b = 2\n  x = i++ + int(b) }\nexit {i, x}", options);
    EXPECT_EQ(r.result, "{\"i\":2,\"x\":3}");
    EXPECT_EQ(seen.at_call, (std::vector<std::string>{"0b=2", "1i=1", "1x=0"}));
}

namespace {

// The lines a debugger pauses on: each line a step reaches, once per visit.
int record_lines(Scope*, const SyntaxNode* n, void* ctx) {
    std::vector<int>* lines = static_cast<std::vector<int>*>(ctx);
    if (n && n->line >= 0 && (lines->empty() || lines->back() != n->line)) lines->push_back(n->line);
    return 0;
}

std::string joined(const std::vector<int>& lines) {
    std::string s;
    for (int l : lines) s += (s.empty() ? "" : " ") + std::to_string(l);
    return s;
}

}  // namespace

// In editor mode the closing brace of every block that runs is a step on its
// own line (a function's only when it runs off its end, a loop body's on
// every pass), array literals have none; no step lands on the line after
// its statement. Results and errors (a pending increment failing where
// the block ends) are the same with and without steps in both modes.
TEST(CoreSteps, EditorModePausesOnClosingBraces) {
    const struct {
        const char* script;
        const char* off;
        const char* on;
        std::string result;  // or the first error line
    } cases[] = {
        {"function f(n) {\n  if (n > 1) {\n    return n\n  }\n}\n"
         "s = 0\nfor (i = 0; i < 3; i++) {\n  if (i == 1) {\n    s += f(2)\n  } else {\n    { s++ }\n  }\n}\n"
         "f(0)\nexit s\n",
         "5 6 7 9 10 6 7 8 1 2 8 6 7 9 10 6 13 1 13 14",
         "5 6 7 9 10 11 12 6 7 8 1 2 8 9 12 6 7 9 10 11 12 6 13 1 4 13 14", "4"},
        {"n = 0\nwhile (n < 2) {\n  n++\n}\ndo {\n  n--\n} while (n > 0)\nswitch (n) {\ncase 0:\n  n = 9\n}\n"
         "x = {}\nswitch (n) { case 1: n = 1 }\n{}\nexit {n, x}\n",
         "0 1 2 1 2 1 4 5 6 4 5 6 7 8 9 11 12 13 14",
         "0 1 2 3 1 2 3 1 4 5 6 4 5 6 7 8 9 10 11 12 13 14", "{\"n\":9,\"x\":{}}"},
        {"a = 1\nx = -a\ny = a && x\nvar z = 1\nexit {-z, y}\n", "0 1 2 3 4", "0 1 2 3 4", "{-1,\"y\":1}"},
        {"function g() { s = \"x\" }\ns = 1\nif (1) {\n  t = s++ + g() }\n", "1 2 3 0 3", "1 2 3 0 3",
         error_line(kErrIllegalOperator, 4, "t = s++ + g() }")},
    };
    for (const auto& c : cases) {
        for (bool editor : {false, true}) {
            for (bool step : {false, true}) {
                std::vector<int> lines;
                RunOptions options;
                options.editor = editor;
                options.step = step ? record_lines : nullptr;
                options.step_ctx = &lines;
                RunOutput r = run_ksc(c.script, options);
                EXPECT_EQ(r.errors.empty() ? r.result : r.errors[0], c.result) << c.script << editor << step;
                if (step) {
                    EXPECT_EQ(joined(lines), editor ? c.on : c.off) << c.script << editor;
                }
            }
        }
    }
}

// In editor mode variables, parameters, keys of literals, keys made by
// indexing and elements named after variables keep the letter case they
// were written in, and copies, moves and `+` of arrays keep it; without it
// (the console runner) everything is lower-cased as before. Lookups ignore
// the case either way.
TEST(CoreLabels, NamesKeepTheirCaseInEditorMode) {
    const char* script =
        "MyVar = 1\nvar Other = \"o\"\nArr[\"KeyOne\"] = 1\nArr[\"keyone\"] += 1\n"
        "Lit = {\"MixedKey\": 1, \"Nested\": {\"Inner\": 2}, MyVar, Made = 3}\nCopy = Lit\n"
        "Sum = Copy + {\"Extra\": myvar + other}\n"
        "function Pick(Param, &RefP) { Local = Param; RefP = {\"Back\": Local}; return Local }\n"
        "Got = 0\nPick({\"Q\": 0}, Got)\nexit {Sum, Got, ARR}\n";
    const char* expected[] = {
        "{\"sum\":{\"mixedkey\":1,\"nested\":{\"inner\":2},\"myvar\":1,\"made\":3,\"extra\":\"1o\"},"
        "\"got\":{\"back\":{\"q\":0}},\"arr\":{\"keyone\":2}} 0param 0refp 0local 1myvar 1other 1arr 1lit 1copy 1sum 1got",
        "{\"Sum\":{\"MixedKey\":1,\"Nested\":{\"Inner\":2},\"MyVar\":1,\"Made\":3,\"Extra\":\"1o\"},"
        "\"Got\":{\"Back\":{\"Q\":0}},\"ARR\":{\"KeyOne\":2}} 0Param 0RefP 0Local 1MyVar 1Other 1Arr 1Lit 1Copy 1Sum 1Got",
    };
    for (bool editor : {false, true}) {
        for (bool step : {false, true}) {
            std::string seen;  // the variables at `return`
            RunOptions options;
            options.editor = editor;
            options.step_ctx = &seen;
            options.step = [](Scope* s, const SyntaxNode* n, void* ctx) {
                if (n && n->kind == SK_RETURN)
                    scope_visit_variables(
                        s,
                        [](int depth, const char16_t* name, const Value*, void* c) {
                            *static_cast<std::string*>(c) += " " + std::to_string(depth) + u8(name);
                        },
                        ctx);
                return 0;
            };
            if (!step) options.step = nullptr;
            RunOutput r = run_ksc(script, options);
            std::string want = expected[editor];
            EXPECT_EQ(r.result + seen, step ? want : want.substr(0, want.find(' '))) << editor << step;
        }
    }
    EXPECT_EQ(pinned_count(), 0u);
}

namespace {

// Recursion n deep: the sum 1..n.
std::string deep(int n) {
    return "function sum(k) { if (k == 0) { return 0 }\nreturn k + sum(k - 1) }\nexit sum(" + std::to_string(n) + ")";
}

}  // namespace

TEST(CoreRecursion, DeepRunsAndEndlessStopsOnAnyThread) {
    EXPECT_EQ(value(deep(2000)), "2001000");
    // On another thread (as the script editor runs scripts) endless recursion
    // still ends with "Nesting too deep", and the engine is fine afterwards.
    int code = -1;
    std::thread worker([&] { code = error_code("function f(n) { return {f(n + 1)} }\nf(0)"); });
    worker.join();
    EXPECT_EQ(code, kErrTooDeep);
    EXPECT_EQ(value(deep(100)), "5050");
    EXPECT_EQ(pinned_count(), 0u);
}

// `exit` in a function ends the run with its value from any depth, also
// from inside an array literal, a case label or a parameter's default
// (the previous evaluator lost the value there, or the exit itself).
TEST(CoreExit, FromInsideLiteralsCaseLabelsAndDefaults) {
    const char* cases[] = {
        "function f() { exit 7 }\nx = {1, f(), 3}\nexit 0",
        "function f() { exit 7 }\nswitch (1) { case f(): exit 1 }\nexit 0",
        "function f() { exit 7 }\nfunction g(a = f()) { return 1 }\ng()\nexit 0",
    };
    for (const char* c : cases) {
        RunOutput r = run_ksc(c);
        EXPECT_EQ(r.rc, kWalkExit) << c;
        EXPECT_EQ(r.result, "7") << c;
        EXPECT_TRUE(r.errors.empty()) << c;
    }
}

namespace {

// A native function that runs more script in the scope that called it.
std::string g_reentry_out;
int32_t KSC_STDCALL reentry_print(Scope* s, Node* args, Node*, char16_t*) {
    if (!args) return -2;
    std::u16string text = value_text(args->value);
    if (text.rfind(u"run:", 0) != 0) {
        g_reentry_out += u8(text);
        return 0;
    }
    std::u16string code = text.substr(4);
    ScriptUnit* unit = s->unit;
    bool ok = false;
    SyntaxNode* seq = parse_text(s, unit, code.c_str(), code.size(), nullptr, &ok);
    if (!ok) return -1;
    Value result;
    result_init(&result);
    int rc = walk(s, seq, &result);
    value_clear(&result);
    stack_clear(s);
    syntax_free(seq);
    return rc == kWalkError ? -3 : 0;
}
int32_t KSC_STDCALL quiet(Scope*, Node* args, Node*, char16_t*) { return args ? 0 : -2; }

}  // namespace

TEST(CoreReentry, NativeFunctionRunsScriptInItsCallersScope) {
    builtins_init(quiet, reentry_print, quiet);
    g_reentry_out.clear();
    const char* script =
        "function f(n) { var local = n; print(\"run:local = local * 2; made = 1\"); return local }\n"
        "t = 1\nr = t + f(5) + t\nfor (i = 0; i < 2; i++) { print(\"run:t = t + 10\") }\n"
        "print(\"\" + r + \",\" + t + \",\" + made)";
    std::u16string text = u16(script);
    ScriptUnit* unit = unit_new_root(u"", u"t.ksc", false, true);
    Scope* top = scope_new(unit, nullptr);
    unit->top_scope = top;
    ASSERT_TRUE(unit_parse_text(unit, top, str_dup(text.c_str(), text.size()), text.size()));
    Value result;
    result_init(&result);
    EXPECT_EQ(walk(top, unit->sequence, &result), kWalkDone);
    // f's local doubled; `made` lived in f's scope only, so the last line
    // makes a fresh one; the loop's runs changed the top-level t.
    EXPECT_EQ(g_reentry_out, "12,21,0");
    value_clear(&result);
    unit_free(unit);
    EXPECT_EQ(pinned_count(), 0u);
}

// Positions of array elements against a plain vector, walking forwards,
// backwards and at random over several lists while they grow and go.
TEST(CorePositions, MatchAReferenceUnderRandomWalks) {
    std::mt19937 rng(7);
    struct List {
        Value value;
        std::vector<Node*> nodes;
    };
    std::vector<List> lists(6);
    for (List& l : lists) {
        memset(&l.value, 0, sizeof l.value);
        l.value.kind = kArray;
    }
    for (int step = 0; step < 60000; ++step) {
        List& l = lists[rng() % lists.size()];
        int32_t n = int32_t(l.nodes.size());
        switch (rng() % 8) {
            case 0:
            case 1: {  // grow
                int add = 1 + int(rng() % 40);
                for (int k = 0; k < add; ++k) {
                    Node* e = node_new();
                    array_append(&l.value, e);
                    l.nodes.push_back(e);
                }
                break;
            }
            case 2:  // drop (rarely), the whole list as the engine does
                if (rng() % 20 == 0) {
                    value_clear(&l.value);
                    l.value.kind = kArray;
                    l.nodes.clear();
                }
                break;
            case 3:  // a backward run
                for (int32_t p = n - 1; p >= 0 && p > n - 70; --p) ASSERT_EQ(list_at(l.value.data.a, p), l.nodes[size_t(p)]);
                break;
            default: {
                int32_t p = n ? int32_t(rng() % uint32_t(n + 3)) : 0;
                ASSERT_EQ(list_at(l.value.data.a, p), p < n ? l.nodes[size_t(p)] : nullptr) << step;
                int32_t last;
                list_last(l.value.data.a, &last);
                ASSERT_EQ(last, n - 1);
                ASSERT_EQ(list_length(l.value.data.a), n);
            }
        }
    }
    for (List& l : lists) value_clear(&l.value);
}
