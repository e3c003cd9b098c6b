// ksc_testlib: a function library for the console runner's end-to-end tests.
// It is built like any third-party library would be: it knows the engine only
// through the record layouts and the export signature, and allocates what it
// returns from the process heap.
//
//   describe(...)         "none", or one item per argument joined with ",":
//                         [key=][&]int:N | real | string:TEXT | array:COUNT
//                         (& marks a value shared with a variable)
//   echo(v)               a deep copy of v
//   greet(name)           "Hello, <name>!"
//   pairs(k1, v1, ...)    an array of the values; a non-empty key string
//                         makes the element keyed (label as given)
//   fail(text)            returns -1 with text as the error message
//   need2(a, b)           returns -2 without two arguments, else a + b
//   halt()                returns -3: the script stops silently
//   print(v)              replaces the built-in: writes "[testlib] " + text
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "engine.h"
#include "platform.h"
#include "utf.h"

#ifdef _WIN32
#  define TESTLIB_EXPORT extern "C" __declspec(dllexport)
#else
#  define TESTLIB_EXPORT extern "C" __attribute__((visibility("default")))
#endif

using ksc::Node;
using ksc::Scope;
using ksc::Value;

namespace {

constexpr int32_t kInt = 0, kReal = 1, kString = 2, kArray = 3;

int32_t hash_of(const char16_t* lowered) {
  uint32_t h = 0;
  for (const char16_t* p = lowered; *p; ++p) h = uint32_t(*p) + 2u * h;
  return int32_t(h);
}

char16_t* heap_text(const std::u16string& s) {
  auto* p = static_cast<char16_t*>(zv::heap_alloc((s.size() + 1) * sizeof(char16_t)));
  if (p) std::memcpy(p, s.c_str(), (s.size() + 1) * sizeof(char16_t));
  return p;
}

Node* new_node() {
  auto* n = static_cast<Node*>(zv::heap_alloc(sizeof(Node)));
  auto* v = static_cast<Value*>(zv::heap_alloc(sizeof(Value)));
  if (!n || !v) {
    zv::heap_free(n);
    zv::heap_free(v);
    return nullptr;
  }
  v->owner = n;
  n->value = v;
  return n;
}

void free_list(Node* head);

void free_contents(Value* v) {
  if (v->kind == kString) zv::heap_free(v->data.s);
  if (v->kind == kArray) free_list(v->data.a);
  v->kind = kInt;
  v->data.a = nullptr;
}

void free_list(Node* head) {
  while (head) {
    Node* next = head->next;
    zv::heap_free(head->name);
    zv::heap_free(head->label);
    free_contents(head->value);
    zv::heap_free(head->value);
    zv::heap_free(head);
    head = next;
  }
}

// name = key with A-Z folded, label = key as given, hash of the name.
bool set_key(Node* n, const char16_t* key) {
  std::u16string lower(key);
  for (char16_t& c : lower)
    if (c >= u'A' && c <= u'Z') c = char16_t(c + 32);
  n->name = heap_text(lower);
  n->label = heap_text(key);
  n->hash = hash_of(lower.c_str());
  return n->name && n->label;
}

bool copy_value(const Value* src, Value* dst);

bool copy_list(const Node* src, Node** out) {
  Node** tail = out;
  for (; src; src = src->next) {
    Node* e = new_node();
    if (!e) return false;
    *tail = e;
    tail = &e->next;
    if (src->name && !set_key(e, src->label ? src->label : src->name)) return false;
    if (!copy_value(src->value, e->value)) return false;
  }
  return true;
}

// Copies into a zeroed value; on failure what was built is left in dst for
// the caller's cleanup.
bool copy_value(const Value* src, Value* dst) {
  dst->kind = src->kind;
  switch (src->kind) {
    case kString:
      dst->data.s = src->data.s ? heap_text(src->data.s) : nullptr;
      return !src->data.s || dst->data.s;
    case kArray:
      dst->data.a = nullptr;
      return copy_list(src->data.a, &dst->data.a);
    default:
      dst->data = src->data;
      return true;
  }
}

std::u16string ascii(const char* s) { return std::u16string(s, s + std::strlen(s)); }

std::u16string text_of(const Value* v) {
  char buf[64];
  switch (v->kind) {
    case kInt:
      std::snprintf(buf, sizeof buf, "%d", int(v->data.i));
      return ascii(buf);
    case kReal:
      std::snprintf(buf, sizeof buf, "%g", v->data.r);
      return ascii(buf);
    case kString: return v->data.s ? std::u16string(v->data.s) : std::u16string();
    default: return std::u16string();
  }
}

int32_t set_text(Node* result, const std::u16string& text) {
  char16_t* s = heap_text(text);
  if (!s) return -1;
  result->value->kind = kString;
  result->value->data.s = s;
  return 0;
}

void set_message(char16_t* errbuf, const std::u16string& text) {
  size_t n = text.size() < size_t(ksc::kErrBufSize - 1) ? text.size() : size_t(ksc::kErrBufSize - 1);
  std::memcpy(errbuf, text.data(), n * sizeof(char16_t));
  errbuf[n] = 0;
}

}  // namespace

TESTLIB_EXPORT int32_t KSC_STDCALL _lib_func_describe(Scope*, Node* args, Node* result, char16_t*) {
  if (!args) return set_text(result, u"none");
  std::u16string out;
  for (const Node* a = args; a; a = a->next) {
    if (!out.empty()) out += u',';
    if (a->name) {
      out += a->name;
      if (a->hash != hash_of(a->name)) out += u"#badhash";
      out += u'=';
    }
    const Value* v = a->value;
    if (v->owner != a) out += u'&';
    switch (v->kind) {
      case kInt: out += u"int:" + text_of(v); break;
      case kReal: out += u"real"; break;
      case kString: out += u"string:" + text_of(v); break;
      case kArray: {
        int count = 0;
        for (const Node* e = v->data.a; e; e = e->next) ++count;
        out += u"array:" + ascii(std::to_string(count).c_str());
        break;
      }
      default: out += u"?"; break;
    }
  }
  return set_text(result, out);
}

TESTLIB_EXPORT int32_t KSC_STDCALL _lib_func_echo(Scope*, Node* args, Node* result, char16_t* errbuf) {
  if (!args) return -2;
  if (!copy_value(args->value, result->value)) {
    // The engine frees whatever was stored so far.
    set_message(errbuf, u"out of memory");
    return -1;
  }
  return 0;
}

TESTLIB_EXPORT int32_t KSC_STDCALL _lib_func_greet(Scope*, Node* args, Node* result, char16_t*) {
  if (!args) return -2;
  return set_text(result, u"Hello, " + text_of(args->value) + u"!");
}

TESTLIB_EXPORT int32_t KSC_STDCALL _lib_func_pairs(Scope*, Node* args, Node* result, char16_t* errbuf) {
  Node* head = nullptr;
  Node** tail = &head;
  bool ok = true;
  for (const Node* k = args; k && ok; k = k->next ? k->next->next : nullptr) {
    Node* e = new_node();
    if (!e) {
      ok = false;
      break;
    }
    *tail = e;
    tail = &e->next;
    const Value* key = k->value;
    if (key->kind == kString && key->data.s && key->data.s[0]) ok = set_key(e, key->data.s);
    if (ok && k->next) ok = copy_value(k->next->value, e->value);
  }
  if (!ok) {
    free_list(head);
    set_message(errbuf, u"out of memory");
    return -1;
  }
  result->value->kind = kArray;
  result->value->data.a = head;
  return 0;
}

TESTLIB_EXPORT int32_t KSC_STDCALL _lib_func_fail(Scope*, Node* args, Node*, char16_t* errbuf) {
  set_message(errbuf, args ? text_of(args->value) : u"failed");
  return -1;
}

TESTLIB_EXPORT int32_t KSC_STDCALL _lib_func_need2(Scope*, Node* args, Node* result, char16_t*) {
  if (!args || !args->next) return -2;
  const Value* a = args->value;
  const Value* b = args->next->value;
  result->value->data.i = (a->kind == kInt ? a->data.i : 0) + (b->kind == kInt ? b->data.i : 0);
  return 0;
}

TESTLIB_EXPORT int32_t KSC_STDCALL _lib_func_halt(Scope*, Node*, Node*, char16_t*) { return -3; }

TESTLIB_EXPORT int32_t KSC_STDCALL _lib_func_print(Scope*, Node* args, Node*, char16_t*) {
  if (!args) return -2;
  std::u16string text = u"[testlib] " + text_of(args->value);
#ifdef _WIN32
  // The C runtime's stdout is shared with the program (msvcrt), so this
  // interleaves correctly with its own buffered wide output.
  fputws(reinterpret_cast<const wchar_t*>(text.c_str()), stdout);
#else
  std::string bytes = zv::utf16_to_utf8(text.data(), text.size());
  fwrite(bytes.data(), 1, bytes.size(), stdout);
#endif
  return 0;
}
