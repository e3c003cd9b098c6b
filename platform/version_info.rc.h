// Version resource shared by every deliverable. The including .rc defines
// ZV_FILE_DESCRIPTION and ZV_ORIGINAL_FILENAME; the numbers come from the
// build (ZV_VERSION_MAJOR/MINOR/BUILD, set once in the top CMakeLists.txt).
#include <winver.h>

#define ZV_STR2(x) #x
#define ZV_STR(x) ZV_STR2(x)
#define ZV_VERSION_TEXT ZV_STR(ZV_VERSION_MAJOR) "." ZV_STR(ZV_VERSION_MINOR) "." ZV_STR(ZV_VERSION_BUILD) ".0"

VS_VERSION_INFO VERSIONINFO
FILEVERSION ZV_VERSION_MAJOR, ZV_VERSION_MINOR, ZV_VERSION_BUILD, 0
PRODUCTVERSION ZV_VERSION_MAJOR, ZV_VERSION_MINOR, ZV_VERSION_BUILD, 0
FILEFLAGSMASK VS_FFI_FILEFLAGSMASK
FILEFLAGS 0
FILEOS VOS_NT_WINDOWS32
FILETYPE VFT_APP
FILESUBTYPE VFT2_UNKNOWN
BEGIN
    BLOCK "StringFileInfo"
    BEGIN
        BLOCK "041104B0"
        BEGIN
            VALUE "FileDescription", ZV_FILE_DESCRIPTION
            VALUE "FileVersion", ZV_VERSION_TEXT
            VALUE "OriginalFilename", ZV_ORIGINAL_FILENAME
            VALUE "ProductName", "zarvo-bot"
            VALUE "ProductVersion", ZV_VERSION_TEXT
        END
    END
    BLOCK "VarFileInfo"
    BEGIN
        VALUE "Translation", 0x411, 1200
    END
END
