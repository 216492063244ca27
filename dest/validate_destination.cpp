#include "dest/validate_destination.h"

#include <shlwapi.h>

#include <cstring>

#include "core/app_state.h"
#include "res/resource.h"

namespace {
constexpr char kInvalidDirChars[] = ":/*?\"<>|";

constexpr char kInvalidName[] = "Directory Name is invalid Please Correct";
constexpr char kBadCharacters[] =
    "Directory Name cannot contain any of the following characters:\n"
    "              / : * ? \" < > | ";
constexpr char kAskCreate[] = "Directory does not exit do you want to create one ?";
constexpr char kCorrectName[] = "Correct the Directory Name";
constexpr char kAccessDenied[] = "Access Denied to Open the Directory";
constexpr char kInsertDisk[] = "Insert Disk & Retry";
constexpr char kNetworkNotFound[] = "Network Not Found Correct the Directory Name";
constexpr char kUnknownError[] = "Unknown Error";
constexpr char kCreated[] = "Directory Created";
constexpr char kCreateFailed[] = "Error While Creating Directory";

bool IsInvalidDirChar(char c) { return c != '\0' && std::strchr(kInvalidDirChars, c) != nullptr; }

// Only "<drive letter>:<path>" can name a directory that is not already there.
// After the colon the text is searched by character: the second byte of ポ (0x83
// 0x7C in code page 932) is no vertical bar.
bool HasValidCharacters(const char* path) {
    if (IsInvalidDirChar(path[0]) || path[1] != ':') return false;
    return FindCharIn(path + 2, kInvalidDirChars) == nullptr;
}

// The user corrects the text in place: focus back in the box, all of it selected.
bool Reject(HWND window, const char* message, UINT flags) {
    ShowMessage(window, message, flags);
    HWND box = GetDlgItem(window, IDC_DEST_BOX);
    if (box != nullptr) {
        SetFocus(box);
        SendMessageA(box, CB_SETEDITSEL, 0, MAKELPARAM(0, -1));
    }
    return false;
}

bool OfferToCreate(HWND window, const char* dir) {
    if (ShowMessage(window, kAskCreate, MB_YESNO | MB_ICONQUESTION) != IDYES) {
        return Reject(window, kCorrectName, MB_ICONINFORMATION);
    }
    SECURITY_ATTRIBUTES security = {};
    security.nLength = sizeof security;  // 12 in the 32-bit program
    security.lpSecurityDescriptor = nullptr;
    security.bInheritHandle = FALSE;
    // One level only: a missing parent makes this fail.
    if (!CreateDirectoryA(dir, &security)) return Reject(window, kCreateFailed, MB_ICONERROR);
    ShowMessage(window, kCreated, MB_OK);
    return true;
}
}  // namespace

#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(SECURITY_ATTRIBUTES) == 12, "security attributes of a 32-bit program");
#endif

bool ValidateDestination(HWND window, const char* path) {
    if (path == nullptr) return false;
    char dir[kPathSize];
    CopyText(dir, path);  // the caller's text is never changed

    if (PathIsDirectoryA(dir)) return true;
    std::size_t length = std::strlen(dir);
    if (length == 0) return false;
    if (length <= 2) return Reject(window, kInvalidName, MB_ICONERROR);

    PathRemoveBackslashA(dir);
    if (std::strlen(dir) < length && EndsInBackslash(dir)) {
        return Reject(window, kInvalidName, MB_ICONERROR);
    }
    if (!HasValidCharacters(dir)) return Reject(window, kBadCharacters, MB_ICONERROR);

    // A 259-character path has no room for the backslash and is asked as it is.
    if (PathCharacters(dir) < kPathCharacters) AddBackslash(dir, kPathSize);
    DWORD attributes = GetFileAttributesA(dir);
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        // Something is there; a file in place of the directory cannot take the parts.
        if (attributes & FILE_ATTRIBUTE_DIRECTORY) return true;
        return Reject(window, kInvalidName, MB_ICONERROR);
    }

    switch (GetLastError()) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        return OfferToCreate(window, dir);
    case ERROR_ACCESS_DENIED:
        return Reject(window, kAccessDenied, MB_ICONERROR);
    case ERROR_NOT_READY:
        return Reject(window, kInsertDisk, MB_ICONERROR);
    case ERROR_BAD_NETPATH:
        return Reject(window, kNetworkNotFound, MB_ICONERROR);
    default:
        return Reject(window, kUnknownError, MB_ICONERROR);
    }
}
