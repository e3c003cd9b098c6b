// What an operation's card says under its title, in the scenario editor's
// list and in the HTML manual: up to two detail lines (window, check type,
// condition, application, text ...), the interval line and the flag line.
// Masked operations show "****" for every text of theirs.
#pragma once

#include <string>

#include "operation_record.h"

namespace zvb {

// The two detail lines; either may be empty.
struct OperationDetails {
    std::u16string line1, line2;
};
OperationDetails operation_details(const OperationRecord& r);

// "操作間隔: %lu ミリ秒".
std::u16string operation_interval_text(const OperationRecord& r);

// "(マスク, 無効, ウィンドウが見つからない場合はスキップ)" with the flags set,
// in that order; empty when none is.
std::u16string operation_flags_text(const OperationRecord& r);

}  // namespace zvb
