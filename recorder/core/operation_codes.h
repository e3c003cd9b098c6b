// Operation codes. Recorded raw events keep their Windows message numbers;
// synthetic operations use private numbers from 1324 up. Where an operation
// has two codes (the second is the non-client or system-key variant), both
// mean the same operation everywhere: compare canonical_code() values.
#pragma once

#include <cstdint>

namespace zvb {

enum : int32_t {
    // mouse (category 0)
    kCodeMouseMove = 512,
    kCodeMouseMoveNc = 160,
    kCodeLeftDown = 513,
    kCodeLeftDownNc = 161,
    kCodeLeftUp = 514,
    kCodeLeftUpNc = 162,
    kCodeLeftDoubleClick = 515,
    kCodeRightDown = 516,
    kCodeRightDownNc = 164,
    kCodeRightUp = 517,
    kCodeRightUpNc = 165,
    kCodeMiddleDown = 519,
    kCodeMiddleDownNc = 167,
    kCodeMiddleUp = 520,
    kCodeMiddleUpNc = 168,
    kCodeRawWheel = 522,  // never stays in a record: see wheel_code()
    kCodeLeftClick = 1324,
    kCodeRightClick = 1325,
    kCodeMiddleClick = 1326,
    kCodeWheelUp = 1327,
    kCodeWheelDown = 1328,
    // key (category 1)
    kCodeKeyDown = 256,
    kCodeSysKeyDown = 260,
    kCodeKeyUp = 257,
    kCodeSysKeyUp = 261,
    kCodeKeyInput = 1427,
    // other (category 2)
    kCodeWait = 1524,
    kCodeLaunch = 1525,
    kCodeSetText = 1526,
    kCodeInputText = 1527,
    kCodeDateTime = 1528,
    kCodeMessageBox = 1529,
    kCodeEndPlay = 1530,
    kCodeEndGroupPlay = 1531,  // also ends the play of the enclosing group
    kCodeScript = 1532,
    kCodeSendText = 1533,
    kCodeImeSettings = 1534,
};

struct OperationCode {
    int32_t category;
    int32_t code;
    int32_t alternate;      // the second code of the operation, or 0
    const char16_t* name;   // English name of the operation
    const char16_t* label;  // the editor's label
};

// The whole table, in the order of the editor's list.
extern const OperationCode kOperationCodes[];
extern const int kOperationCodeCount;

// The table row of a code (either variant); null for unknown codes.
const OperationCode* operation_code(int32_t code);
// The first code of the operation: 161 gives 513, 260 gives 256; unknown
// codes come back unchanged. End of play keeps 1530 and 1531 apart (they
// generate different lines).
int32_t canonical_code(int32_t code);
// The label of a code, or null for unknown codes.
const char16_t* operation_label(int32_t code);
// What a raw wheel event (522) becomes: 1327 for a delta (high 16 bits of
// mouse_data) of zero or more, 1328 for a negative one.
int32_t wheel_code(int32_t mouse_data);

bool is_mouse_move(int32_t code);
bool is_wheel(int32_t code);

}  // namespace zvb
