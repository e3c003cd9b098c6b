// Helpers for DESKOPS tests: argument lists built the way the engine builds
// them (records on the process heap), results rendered as text, UTF-8
// conversion for readable expectations.
#pragma once

#include <initializer_list>
#include <string>
#include <vector>

#include "engine.h"

namespace deskops_test {

// One argument: an integer, a real, a string (UTF-8) or an array of
// arguments; an optional key makes it a keyed element inside arrays.
struct Arg {
    int kind;
    int32_t i = 0;
    double r = 0;
    std::string s;
    std::vector<Arg> items;
    std::string key;

    Arg(int v) : kind(ksc::kInt), i(v) {}
    Arg(double v) : kind(ksc::kReal), r(v) {}
    Arg(const char* v) : kind(ksc::kString), s(v) {}
    Arg(std::string v) : kind(ksc::kString), s(std::move(v)) {}
    Arg(std::initializer_list<Arg> v) : kind(ksc::kArray), items(v) {}
    Arg keyed(const std::string& k) const {
        Arg a = *this;
        a.key = k;
        return a;
    }
};

typedef std::vector<Arg> Args;

ksc::Node* make_list(const Args& args);
void free_list(ksc::Node* head);

// Engine-like text of a value: {1,2.5000000000000000,"s","Key":{...}};
// strings are quoted inside arrays only, keys shown by label (else name).
std::string render(const ksc::Value* v);

std::string utf8(const std::u16string& s);
std::u16string utf16(const std::string& s);

struct Outcome {
    int32_t rc;
    std::string value;  // render() of the result
    std::string error;  // the message buffer, UTF-8
    int kind;
};

// The return code of a call to a function that does not exist (fn null).
constexpr int32_t kNoFunction = -99;

// Calls fn with a fresh result node and an emptied message buffer, as the
// engine does, and frees everything afterwards.
Outcome call(ksc::NativeFunc fn, const Args& args);

}  // namespace deskops_test
