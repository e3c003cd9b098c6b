// The frame every DESKOPS function stands on: the export signature, the
// argument conventions, the messages, the result records and the library's
// process-wide state.
//
// Portable: no Windows header here, so the families that do not drive the
// desktop (strings, encodings, data formats) build and are tested natively.
// Window helpers (frame rectangle, bring to front) are in frame_win32.h.
//
// A function reads its arguments with the readers below; each reader writes
// the message of the convention into errbuf when the value is of the wrong
// kind, so a function only passes the failure on:
//
//   DESKOPS_FUNCTION(to_upper) {
//       if (!deskops::has_args(args, 1)) return deskops::kMissing;
//       const char16_t* s;
//       if (!deskops::read_string(deskops::arg(args, 0), &s, errbuf)) return deskops::kFailed;
//       ...
//       return deskops::put_string(result, text, errbuf);
//   }
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "engine.h"

#if defined(_WIN32)
#define DESKOPS_EXPORT extern "C" __declspec(dllexport)
#else
#define DESKOPS_EXPORT extern "C" __attribute__((visibility("default")))
#endif

// Declares or defines the export _lib_func_<name>. Every exported name is
// also listed in catalogue.inc.
#define DESKOPS_FUNCTION(name)                                                          \
    DESKOPS_EXPORT int32_t KSC_STDCALL _lib_func_##name(                                \
        [[maybe_unused]] ksc::Scope* scope, [[maybe_unused]] ksc::Node* args,           \
        [[maybe_unused]] ksc::Node* result, [[maybe_unused]] char16_t* errbuf)

namespace deskops {

using ksc::Node;
using ksc::Value;

// ---- return codes ----------------------------------------------------------

constexpr int32_t kDone = 0;     // success: the result node holds the value
constexpr int32_t kFailed = -1;  // failure: errbuf holds the message
constexpr int32_t kMissing = -2; // a required argument is missing

// ---- messages ---------------------------------------------------------------
// Texts live in the string table (messages.inc is their only source).

enum Msg : uint32_t {
    kMsgBuildFailed = 2000,         // zvs_app: writing the executable failed
    kMsgNotNumber = 3000,           // a number argument is not a number
    kMsgNotString = 3001,           // a string argument is not a string
    kMsgNotList = 3002,             // an array argument is not an array
    kMsgNoArray = 3003,             // an array where text or a number is expected
    kMsgNotArrayOrString = 3004,    // base64_encode's data
    kMsgFirstNotNumber = 3011,      // first argument not a number
    kMsgThirdNotNumber = 3013,      // third argument not a number
    kMsgSecondNotString = 3022,     // second argument not a string
    kMsgLogTimeFormat = 3100,       // put_log's time stamp (strftime format)
};

// The text of a message, loaded into the library's one shared buffer (valid
// until the next call). Empty when the id is unknown.
const char16_t* message_text(Msg id);

// Size of the engine's message buffer, terminator included.
constexpr size_t kErrBufUnits = ksc::kErrBufSize;

// Copies at most 255 units of text and a terminator into errbuf.
void set_error(char16_t* errbuf, const char16_t* text);

// Each writes its text into errbuf and returns kFailed.
int32_t fail(char16_t* errbuf, Msg id);
// The system's text for the thread's last error (GetLastError / errno).
int32_t fail_system(char16_t* errbuf);
int32_t fail_system(char16_t* errbuf, uint32_t code);
// The system's text for exhausted memory.
int32_t fail_no_memory(char16_t* errbuf);

// ---- arguments ---------------------------------------------------------------

// True when the list holds at least count arguments. Required arguments are
// checked first: a function returns kMissing before anything else happens.
bool has_args(const Node* args, int count);
// The value of argument index (0 = first), or null when the list is shorter.
const Value* arg(const Node* args, int index);

// Number argument: an integer, or a real truncated toward zero (NaN and
// reals outside the 32-bit range give INT32_MIN).
bool read_number(const Value* v, int32_t* out, char16_t* errbuf, Msg id = kMsgNotNumber);
// String argument: the string as stored (an absent text reads as "").
bool read_string(const Value* v, const char16_t** out, char16_t* errbuf, Msg id = kMsgNotString);
// Text of a value: an integer in decimal, a real as "%.16f", a string
// copied; an array is rejected with message 3003.
bool read_text(const Value* v, std::u16string* out, char16_t* errbuf);
// Integer flag: true only for a non-zero integer (a real, string, array or
// missing value is false).
bool read_flag(const Value* v);
// Handle argument: a number argument taken as a window handle.
bool read_handle(const Value* v, void** out, char16_t* errbuf, Msg id = kMsgNotNumber);
// Array argument: the first element (null for an empty array).
bool read_array(const Value* v, const Node** out, char16_t* errbuf, Msg id);

// True for an integer value (kind 0); some functions read optional
// arguments only when they are integers.
bool is_integer(const Value* v);

// The text of a value as read_text gives it, except that an array gives "".
std::u16string text_of(const Value* v);
// "%.16f" of d (always with a '.' whatever the C locale).
std::u16string format_real(double d);
// Real to integer as the number convention does.
int32_t truncate_real(double d);

// The bytes of a byte array: the low byte of every integer element. Other
// elements give 0 when zero_others is set (file_write, base64_encode),
// otherwise they are skipped (bytes_to_string, http bodies).
std::string array_bytes(const Node* head, bool zero_others);

// ---- results -----------------------------------------------------------------
// Strings and arrays stored into the result belong to the engine from then
// on; on failure the engine frees whatever was stored already.

void put_int(Node* result, int32_t v);
void put_real(Node* result, double d);
// Store a copy of the text; kDone, or kFailed with the memory text.
int32_t put_string(Node* result, const char16_t* s, size_t n, char16_t* errbuf);
int32_t put_string(Node* result, const std::u16string& s, char16_t* errbuf);
// Stores a byte array (integers 0-255); an empty one is an array without
// elements.
int32_t put_bytes(Node* result, const unsigned char* bytes, size_t n, char16_t* errbuf);

// Builds an array in place: start() turns the value into an empty array at
// once, so a failure midway leaves a partial array its owner frees. Appends
// cost O(1).
struct ListBuilder {
    Node** tail;
};
void list_start(Value* v, ListBuilder* b);
// Appends an element holding integer 0; null when memory runs out.
Node* list_add(ListBuilder* b);
bool list_add_int(ListBuilder* b, int32_t v);
bool list_add_string(ListBuilder* b, const char16_t* s, size_t n);

// Gives an element its key: the name lower-cased (ASCII A-Z), the label as
// written, the hash of the name. An empty key leaves the element without key
// (as the engine does). False when memory runs out.
bool element_set_key(Node* e, const char16_t* key, size_t n);
// Stores a copy of the text into a value that holds an integer; false when
// memory runs out.
bool value_put_string(Value* v, const char16_t* s, size_t n);
// Stores text already on the process heap (ownership passes to v).
void value_take_string(Value* v, char16_t* s);

// Hash of a lower-cased name, as the engine computes it.
int32_t name_hash(const char16_t* lowered, size_t n);
// A copy of n units on the process heap with a terminator; null on failure.
char16_t* heap_text(const char16_t* s, size_t n);

// ---- process-wide state --------------------------------------------------------

// Library start: keeps the module handle (home of the string table and the
// dialogs), seeds the pseudo-random generator with the tick count, looks up
// the optional system functions and sets up display scaling. DESKOPS calls it when it is
// attached to a process; zvs_app calls it itself.
void library_start(void* module);
void* library_module();

// Display scaling: dpi_awareness 0 (unaware, or unknown), 1 system, 2 per
// monitor; scale_percent is the effective DPI of the monitor nearest to
// (1, 1) times 100 / 96.
int32_t dpi_awareness();
int32_t scale_percent();
void set_display_scale(int32_t awareness, int32_t percent);
// Script coordinates to device pixels and back; unchanged while the process
// is not DPI aware.
int32_t to_physical(int32_t v);
int32_t to_logical(int32_t v);
// a * b / c in 64 bits, rounded half away from zero; -1 when c is 0 (MulDiv).
int32_t mul_div(int32_t a, int32_t b, int32_t c);

// The library's pseudo-random generator (rand): 0..32767, process-wide.
void seed_random(uint32_t seed);
int32_t next_random();

// Milliseconds to sleep after each input or window operation (set by `wait`).
int32_t operation_wait();
void set_operation_wait(int32_t ms);
void pause_after_operation();
// How many pauses were taken so far (each change to the desktop takes one).
uint32_t operation_pauses();

// ---- system seam (frame_win32.cpp / frame_posix.cpp) ------------------------------

uint32_t last_error();
// The system's text for an error code, without trailing line breaks and
// blanks, at most 255 units.
void system_error_text(uint32_t code, char16_t* out, size_t units);
uint32_t no_memory_error();
void sleep_ms(uint32_t ms);
uint32_t tick_count();
// Appends bytes to a file (created when missing; opened for writing with
// read sharing). False with the last error set on failure.
bool append_to_file(const char16_t* path, const char* data, size_t n);
// Platform part of library_start.
void system_start(void* module);
// Loads string id of the module into buf (units incl. terminator); false
// when the module has no such string.
bool load_string(void* module, uint32_t id, char16_t* buf, int units);

}  // namespace deskops
