#include "WindowsPlatform.h"

#ifndef NOMINMAX
# define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
# define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <aclapi.h>
#include <sddl.h>

#include <cstdio>
#include <io.h>
#include <memory>
#include <vector>

namespace
{
std::wstring wide (const std::string& text)
{
    if (text.empty())
        return {};

    const auto size = static_cast<int> (text.size());
    const auto length = MultiByteToWideChar (CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), size, nullptr, 0);

    if (length <= 0)
        return {};

    std::wstring result (static_cast<size_t> (length), L'\0');
    MultiByteToWideChar (CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), size, result.data(), length);
    return result;
}

struct HandleCloser
{
    void operator() (HANDLE h) const noexcept { CloseHandle (h); }
};

using UniqueHandle = std::unique_ptr<void, HandleCloser>;

UniqueHandle adopt (HANDLE h)
{
    return UniqueHandle (h == INVALID_HANDLE_VALUE ? nullptr : h);
}

struct LocalFreer
{
    void operator() (void* p) const noexcept { LocalFree (p); }
};

// Owned by the administrators. SYSTEM and administrators: full control; users: read,
// list and execute. Passed on to everything created inside; nothing inherited from
// ProgramData, whose own list lets every user create files and folders there.
constexpr char makerFolderAccess[] = "O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;FRFX;;;BU)";

/** Opens a plain folder or a plain file, never a link or junction nor what it points to:
    refused by its attributes before the open, and by the handle's after it (Windows opens
    the link itself; Wine follows a Unix link even then, but shows it in the attributes). */
UniqueHandle openPlain (const std::wstring& path, DWORD access, bool folder)
{
    const DWORD kind = folder ? FILE_ATTRIBUTE_DIRECTORY : 0;
    const auto isPlain = [kind] (DWORD attributes)
    { return (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == kind; };
    const auto attributes = GetFileAttributesW (path.c_str());

    if (attributes == INVALID_FILE_ATTRIBUTES || ! isPlain (attributes))
        return {};

    auto handle =
        adopt (CreateFileW (path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    BY_HANDLE_FILE_INFORMATION info {};

    if (handle == nullptr || ! GetFileInformationByHandle (handle.get(), &info) || ! isPlain (info.dwFileAttributes))
        return {};

    return handle;
}

// A version block's length is a 16-bit field; the size the version functions ask for adds
// room for a converted copy of it.
constexpr DWORD maxVersionBlockSize = 3 * 0x10000;

/** A C stream with no handle behind it, as in a GUI-subsystem program nobody redirected. */
bool leadsNowhere (FILE* stream)
{
    const auto fd = _fileno (stream);
    return fd < 0 || _get_osfhandle (fd) < 0;
}
}  // namespace

bool WindowsPlatform::createMakerFolder (const std::string& path)
{
    const auto widePath = wide (path);
    PSECURITY_DESCRIPTOR descriptor = nullptr;

    if (widePath.empty()
        || ! ConvertStringSecurityDescriptorToSecurityDescriptorA (makerFolderAccess, SDDL_REVISION_1, &descriptor,
                                                                   nullptr))
        return false;

    const std::unique_ptr<void, LocalFreer> descriptorOwner (descriptor);
    SECURITY_ATTRIBUTES attributes { sizeof (attributes), descriptor, FALSE };

    if (! CreateDirectoryW (widePath.c_str(), &attributes) && GetLastError() != ERROR_ALREADY_EXISTS)
        return false;

    // A folder that was already there (made by an older installer, or by a user before
    // us) gets the same owner and list, so its earlier owner keeps no say over it.
    const auto folder = openPlain (widePath, READ_CONTROL | WRITE_DAC | WRITE_OWNER, true);
    PSID owner = nullptr;
    PACL dacl = nullptr;
    BOOL present = FALSE, defaulted = FALSE;

    return folder != nullptr && GetSecurityDescriptorOwner (descriptor, &owner, &defaulted)
        && GetSecurityDescriptorDacl (descriptor, &present, &dacl, &defaulted)
        && SetSecurityInfo (folder.get(), SE_FILE_OBJECT,
                            OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION
                                | PROTECTED_DACL_SECURITY_INFORMATION,
                            owner, nullptr, dacl, nullptr)
               == ERROR_SUCCESS;
}

std::string WindowsPlatform::makerFolderAccessList()
{
    return makerFolderAccess;
}

bool WindowsPlatform::attachToParentConsole()
{
    // Already attached (a console build, or Wine, which keeps a GUI program started from
    // a console on that console) is as good as attached now.
    if (! AttachConsole (ATTACH_PARENT_PROCESS) && GetLastError() != ERROR_ACCESS_DENIED)
        return false;

    // Output the caller redirected to a file or pipe stays where it was sent.
    if (leadsNowhere (stdout))
        std::freopen ("CONOUT$", "w", stdout);

    if (leadsNowhere (stderr))
        std::freopen ("CONOUT$", "w", stderr);

    return true;
}

bool WindowsPlatform::isProcessElevated()
{
    HANDLE token = nullptr;

    if (! OpenProcessToken (GetCurrentProcess(), TOKEN_QUERY, &token))
        return false;

    const auto tokenOwner = adopt (token);
    TOKEN_ELEVATION elevation {};
    DWORD size = 0;
    return GetTokenInformation (token, TokenElevation, &elevation, sizeof (elevation), &size)
        && elevation.TokenIsElevated != 0;
}

void WindowsPlatform::removeTemporaryScript()
{
    std::vector<wchar_t> folder (MAX_PATH + 1);
    const auto length = GetTempPathW (static_cast<DWORD> (folder.size()), folder.data());

    if (length == 0 || length >= folder.size())
        return;

    const auto path = std::wstring (folder.data(), length) + L"script.sh";

    // Checked and deleted through one handle, so nothing put in its place between the two
    // is deleted instead. Older installers left a plain file; a link is left alone.
    const auto file = openPlain (path, DELETE | FILE_READ_ATTRIBUTES, false);

    if (file == nullptr)
        return;

    FILE_DISPOSITION_INFO disposition { TRUE };
    SetFileInformationByHandle (file.get(), FileDispositionInfo, &disposition, sizeof (disposition));
}

std::string WindowsPlatform::fileVersion (const std::string& path)
{
    const auto widePath = wide (path);
    DWORD handle = 0;
    const auto size = widePath.empty() ? 0 : GetFileVersionInfoSizeW (widePath.c_str(), &handle);

    // The size comes unchecked from the module's resource table, and the version functions
    // copy that many bytes from the mapped file: a damaged or hostile module claiming more
    // than a version block can hold asks for gigabytes and reads past its end (Wine crashes).
    if (size == 0 || size > maxVersionBlockSize)
        return {};

    std::vector<unsigned char> block (size);
    void* value = nullptr;
    UINT valueLength = 0;

    if (! GetFileVersionInfoW (widePath.c_str(), 0, size, block.data())
        || ! VerQueryValueW (block.data(), L"\\", &value, &valueLength) || value == nullptr
        || valueLength < sizeof (VS_FIXEDFILEINFO))
        return {};

    const auto& fixed = *static_cast<const VS_FIXEDFILEINFO*> (value);

    // A block without the signature is not a version block; show no version rather than noise.
    if (fixed.dwSignature != 0xfeef04bdu)
        return {};

    return std::to_string (HIWORD (fixed.dwFileVersionMS)) + "." + std::to_string (LOWORD (fixed.dwFileVersionMS)) + "."
         + std::to_string (HIWORD (fixed.dwFileVersionLS)) + "." + std::to_string (LOWORD (fixed.dwFileVersionLS));
}
