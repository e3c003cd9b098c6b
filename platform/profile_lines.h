// The line grammar of profile files (in profile.cpp), shared by the POSIX
// profile functions and by profile_read_all() on both sides: sections and
// keys compared without regard to ASCII case, values trimmed of blanks and
// of one pair of enclosing quotes. UTF-8 text.
#pragma once

#include <string>
#include <vector>

namespace zv::profile_lines {

std::string trim(const std::string& s);
bool same_name(const std::string& a, const std::string& b);
std::vector<std::string> split_lines(const std::string& text);
// "[name]" gives the section name; other lines give false.
bool section_line(const std::string& line, std::string* name);
// "key=value" gives both; comments and lines without '=' give false.
bool key_line(const std::string& line, std::string* key, std::string* value);

}  // namespace zv::profile_lines
