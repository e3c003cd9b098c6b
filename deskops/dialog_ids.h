// Resource ids of the input dialogs (dialogs.rc), shared by the resource
// script and the code that shows them.
#pragma once

#define ZV_DIALOG_INPUT_TEXT 101
#define ZV_DIALOG_INPUT_NUMBER 104
#define ZV_DIALOG_INPUT_PASSWORD 105

#define ZV_CONTROL_INPUT_EDIT 1001
#define ZV_CONTROL_INPUT_LABEL 1002
