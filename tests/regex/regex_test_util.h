// Helpers for the regular expression tests: run the script functions' rules
// on UTF-8 texts, with the guarded matcher (default) or the plain one.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "regex_engine.h"

namespace rxtest {

std::u16string u16(const std::string& utf8);
std::string u8(const std::u16string& s);

struct Options {
    bool ignore_case = false;
    bool plain = false;
    uint64_t step_limit = 0;
    uint64_t memo_after = deskops::regex::kMemoAuto;
};

// regex_match: code 1 with the group texts and the index, 0, or an error.
struct Found {
    int code = 0;
    std::vector<std::string> groups;
    int32_t index = -1;
};
Found match(const std::string& text, const std::string& pattern, int32_t start = 0, const Options& o = {});
Found match16(const std::u16string& text, const std::u16string& pattern, int32_t start = 0,
              const Options& o = {});

// regex_match_all: the whole-match texts ({"<error n>"} on an error).
std::vector<std::string> match_all(const std::string& text, const std::string& pattern, const Options& o = {});

// regex_replace ("<error n>" on an error).
std::string replace(const std::string& text, const std::string& pattern, const std::string& replacement,
                    const Options& o = {});

// Group count of a pattern (-1 when it does not compile).
int32_t groups_of(const std::string& pattern);

}  // namespace rxtest
