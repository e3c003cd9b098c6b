// Text forms of values and the two readings of text as numbers.
#include <cmath>
#include <cstring>

#include "value.h"

namespace ksc {

// ---- "%.16f" -----------------------------------------------------------
// The C runtimes disagree on how many exact digits they print, so the engine
// rounds itself: the double is an exact binary fraction m * 2^e, and
// m * 2^e * 10^16 is computed in big-integer arithmetic, rounded half to
// even, and printed with the point 16 digits from the right.

namespace {

struct BigUint {
    // Little-endian 32-bit limbs; enough for 2^1024 * 10^16 with room.
    uint32_t limb[40];
    int size = 0;

    void set(uint64_t v) {
        size = 0;
        while (v) {
            limb[size++] = uint32_t(v);
            v >>= 32;
        }
    }
    void mul_small(uint32_t m) {
        uint64_t carry = 0;
        for (int i = 0; i < size; ++i) {
            uint64_t t = uint64_t(limb[i]) * m + carry;
            limb[i] = uint32_t(t);
            carry = t >> 32;
        }
        if (carry) limb[size++] = uint32_t(carry);
    }
    void shift_left(int bits) {
        int words = bits / 32, rest = bits % 32;
        if (size == 0) return;
        if (rest) {
            uint32_t carry = 0;
            for (int i = 0; i < size; ++i) {
                uint32_t next = limb[i] >> (32 - rest);
                limb[i] = (limb[i] << rest) | carry;
                carry = next;
            }
            if (carry) limb[size++] = carry;
        }
        if (words) {
            for (int i = size - 1; i >= 0; --i) limb[i + words] = limb[i];
            for (int i = 0; i < words; ++i) limb[i] = 0;
            size += words;
        }
    }
    // Divides by 10, returns the remainder.
    uint32_t div_small(uint32_t d) {
        uint64_t rem = 0;
        for (int i = size - 1; i >= 0; --i) {
            uint64_t cur = (rem << 32) | limb[i];
            limb[i] = uint32_t(cur / d);
            rem = cur % d;
        }
        while (size && limb[size - 1] == 0) --size;
        return uint32_t(rem);
    }
    bool is_zero() const { return size == 0; }
    void add_one() {
        for (int i = 0; i < size; ++i)
            if (++limb[i] != 0) return;
        limb[size++] = 1;
    }
};

}  // namespace

std::u16string format_real(double d) {
    if (std::isnan(d)) return std::signbit(d) ? u"-nan" : u"nan";
    if (std::isinf(d)) return d < 0 ? u"-inf" : u"inf";
    bool negative = std::signbit(d);
    int exp;
    double frac = std::frexp(std::fabs(d), &exp);  // |d| = frac * 2^exp, 0.5 <= frac < 1
    uint64_t mant = uint64_t(std::ldexp(frac, 53));  // exact: 53 significant bits
    int e = exp - 53;                                // |d| = mant * 2^e
    BigUint n;
    n.set(mant);
    for (int i = 0; i < 16; ++i) n.mul_small(10);  // scale by 10^16
    if (e >= 0) {
        n.shift_left(e);
    } else {
        // Shift right by -e bits, rounding half to even on the bits dropped.
        int s = -e;
        bool round_up = false;
        if (s >= 40 * 32 - 64) {
            n.size = 0;  // far below the last printed digit
        } else {
            // remainder = n mod 2^s compared with 2^(s-1)
            int top_word = (s - 1) / 32, top_bit = (s - 1) % 32;
            bool half_bit = top_word < n.size && ((n.limb[top_word] >> top_bit) & 1);
            bool below = false;
            for (int i = 0; i < top_word && i < n.size; ++i) below |= n.limb[i] != 0;
            if (top_word < n.size) below |= (n.limb[top_word] & ((1u << top_bit) - 1)) != 0;
            int words = s / 32, rest = s % 32;
            if (words >= n.size) {
                n.size = 0;
            } else {
                for (int i = 0; i + words < n.size; ++i) {
                    uint64_t lo = n.limb[i + words];
                    uint64_t hi = i + words + 1 < n.size ? n.limb[i + words + 1] : 0;
                    n.limb[i] = uint32_t(((hi << 32) | lo) >> rest);
                }
                n.size -= words;
                while (n.size && n.limb[n.size - 1] == 0) --n.size;
            }
            bool odd = n.size && (n.limb[0] & 1);
            round_up = half_bit && (below || odd);
        }
        if (round_up) n.add_one();
    }
    char digits[400];
    int count = 0;
    while (!n.is_zero()) digits[count++] = char('0' + n.div_small(10));
    while (count < 17) digits[count++] = '0';  // at least "0." + 16 digits
    std::u16string out;
    out.reserve(count + 2);
    if (negative) out += u'-';
    for (int i = count - 1; i >= 0; --i) {
        out += char16_t(digits[i]);
        if (i == 16) out += u'.';
    }
    return out;
}

std::u16string format_int(int32_t i, bool hex) {
    char buf[16];
    int n = 0;
    if (hex) {
        uint32_t u = uint32_t(i);
        do {
            buf[n++] = "0123456789ABCDEF"[u & 15];
            u >>= 4;
        } while (u);
        std::u16string out = u"0x";
        while (n) out += char16_t(buf[--n]);
        return out;
    }
    uint32_t u = i < 0 ? 0u - uint32_t(i) : uint32_t(i);
    do {
        buf[n++] = char('0' + u % 10);
        u /= 10;
    } while (u);
    std::u16string out;
    if (i < 0) out += u'-';
    while (n) out += char16_t(buf[--n]);
    return out;
}

std::u16string value_text(const Value* v) {
    switch (v->kind) {
        case kInt: return format_int(v->data.i);
        case kReal: return format_real(v->data.r);
        case kString: return v->data.s ? std::u16string(v->data.s) : std::u16string();
        default: return std::u16string();
    }
}

static void append_escaped(const char16_t* s, std::u16string& out) {
    for (; s && *s; ++s) {
        switch (*s) {
            case u'\b': out += u"\\b"; break;
            case u'\t': out += u"\\t"; break;
            case u'\n': out += u"\\n"; break;
            case u'\r': out += u"\\r"; break;
            case u'"': out += u"\\\""; break;
            case u'\\': out += u"\\\\"; break;
            default: out += *s;
        }
    }
}

static void element_text(const Value* v, bool hex, std::u16string& out) {
    switch (v->kind) {
        case kArray: array_text(v->data.a, hex, out); break;
        case kString:
            out += u'"';
            append_escaped(v->data.s, out);
            out += u'"';
            break;
        case kReal: out += format_real(v->data.r); break;
        default: out += format_int(v->data.i, hex);
    }
}

void array_text(const Node* head, bool hex, std::u16string& out) {
    out += u'{';
    for (const Node* e = head; e; e = e->next) {
        if (e != head) out += u',';
        const char16_t* key = e->label ? e->label : e->name;
        if (key) {
            out += u'"';
            out += key;
            out += u"\":";
        }
        element_text(e->value, hex, out);
    }
    out += u'}';
}

std::u16string value_display(const Value* v, bool hex) {
    if (v->kind == kArray) {
        std::u16string out;
        array_text(v->data.a, hex, out);
        return out;
    }
    if (v->kind == kInt) return format_int(v->data.i, hex);
    return value_text(v);
}

// ---- readings ----------------------------------------------------------

static const char16_t* skip_space(const char16_t* s) {
    while (*s == u' ' || (*s >= u'\t' && *s <= u'\r')) ++s;
    return s;
}

int32_t read_integer(const char16_t* s) {
    if (!s) return 0;
    s = skip_space(s);
    bool negative = false;
    if (*s == u'+' || *s == u'-') negative = *s++ == u'-';
    uint32_t v = 0;  // wraps like 32-bit arithmetic on overlong input
    for (; *s >= u'0' && *s <= u'9'; ++s) v = v * 10u + uint32_t(*s - u'0');
    return int32_t(negative ? 0u - v : v);
}

double read_real(const char16_t* s) {
    if (!s) return 0;
    s = skip_space(s);
    // Collect the longest prefix that forms a decimal number and let strtod
    // (on ASCII, in the C locale's format) do the correctly rounded reading.
    char buf[512];
    std::string big;
    size_t n = 0;
    const char16_t* p = s;
    auto put = [&](char c) {
        if (n < sizeof buf - 1)
            buf[n++] = c;
        else {
            if (big.empty()) big.assign(buf, n);
            big += c;
        }
    };
    if (*p == u'+' || *p == u'-') put(char(*p++));
    bool digits = false;
    while (*p >= u'0' && *p <= u'9') put(char(*p++)), digits = true;
    if (*p == u'.') {
        const char16_t* q = p + 1;
        bool frac = false;
        while (*q >= u'0' && *q <= u'9') ++q, frac = true;
        if (digits || frac) {
            put('.');
            for (++p; p < q; ++p) put(char(*p));
            digits = true;
        }
    }
    if (!digits) return 0;
    if (*p == u'e' || *p == u'E') {
        const char16_t* q = p + 1;
        if (*q == u'+' || *q == u'-') ++q;
        if (*q >= u'0' && *q <= u'9') {
            put('e');
            for (++p; p < q; ++p) put(char(*p));
            while (*p >= u'0' && *p <= u'9') put(char(*p++));
        }
    }
    buf[n] = 0;
    return strtod(big.empty() ? buf : big.c_str(), nullptr);
}

}  // namespace ksc
