// Helpers for the regular expression tests: the script functions' rules on
// UTF-8 texts, with the guarded matcher (default options) or the plain one.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "regex_engine.h"

namespace rxtest {

using Options = deskops::regex::MatchOptions;

std::u16string u16(const std::string& utf8);
std::string u8(const std::u16string& s);

// regex_match: code 1 with the group texts and the index, 0, or an error.
struct Found {
    int code = 0;
    std::vector<std::string> groups;
    int32_t index = -1;
};
Found match16(const std::u16string& text, const std::u16string& pattern, int32_t start = 0, const Options& o = {});
inline Found match(const std::string& text, const std::string& pattern, int32_t start = 0, const Options& o = {}) {
    return match16(u16(text), u16(pattern), start, o);
}

// regex_match_all's whole-match texts and regex_replace's result; an error
// gives "<error n>".
std::vector<std::string> match_all(const std::string& text, const std::string& pattern, const Options& o = {});
std::string replace(const std::string& text, const std::string& pattern, const std::string& replacement,
                    const Options& o = {});

}  // namespace rxtest
