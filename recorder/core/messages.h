// The recorder's numbered message texts (its string table): number, text,
// caption. The recorder shows the Japanese texts; the console tool prints
// the English ones in an English environment. Operations of the data layer
// return a Message; the caller shows it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zvb {

struct MessageText {
    int32_t number;
    const char16_t* text;     // Japanese, as the recorder shows it
    const char16_t* english;  // for the console tool
    int32_t caption;          // the caption's string number; 0 = "zarvo-bot"
};

extern const MessageText kMessageTexts[];
extern const int kMessageTextCount;

// The row of a number; null when the table has none.
const MessageText* message_row(int32_t number);

// A message to show: its number, the texts for its %s and %d in order,
// and a detail (usually the system's error text) that the console tool
// adds where the text itself has no place for it. Number 0 with a detail
// is a failure that has no numbered text.
struct Message {
    int32_t number = 0;
    std::vector<std::u16string> args;
    std::u16string detail;
};

Message make_message(int32_t number, std::vector<std::u16string> args = {}, std::u16string detail = {});

// The text with its placeholders filled ("%%" is a percent sign).
std::u16string message_string(const Message& m, bool english = false);
// The caption text of a message ("zarvo-bot", "エラー", "削除").
std::u16string message_caption(const Message& m, bool english = false);
// The text on one line for a console: line breaks become single blanks,
// and the detail follows after ": " unless the text already holds it.
std::u16string message_line(const Message& m, bool english);

}  // namespace zvb
