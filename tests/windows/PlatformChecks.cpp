// The Windows platform layer, run on Windows' own API (under Wine here). A GUI-subsystem
// program like the installer, so every line below reaches the caller only because
// attaching to the parent's console worked.
//
// PlatformChecks SCRATCH_FOLDER [VERSION_LIST]
// VERSION_LIST: one "path<TAB>version" line per file, what the portable PE reader says.
#include "platform/windows/WindowsPlatform.h"

#include <windows.h>

#include <aclapi.h>
#include <sddl.h>

#include <cstdio>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace
{
int passed = 0, failed = 0;

void check (bool ok, const std::string& what)
{
    ++(ok ? passed : failed);
    std::cout << (ok ? "ok: " : "FAILED: ") << what << "\n";
}

// Wine maps the Unix root to drive Z:.
std::string windowsPath (std::string path)
{
    if (! path.empty() && path[0] == '/')
        path = "Z:" + path;

    for (auto& c : path)
        if (c == '/')
            c = '\\';

    return path;
}

std::wstring wide (const std::string& text)
{
    return std::wstring (text.begin(), text.end());  // the paths here are ASCII
}

DWORD attributesOf (const std::wstring& path)
{
    return GetFileAttributesW (path.c_str());
}

/** Starts a Unix program on Windows paths: Wine starts Unix programs for Windows ones (without
    a handle to wait on), and names a Windows path's Unix file. */
void startUnix (const wchar_t* program, const std::wstring& arguments, const std::vector<std::wstring>& paths)
{
    using UnixName = char*(CDECL*) (const wchar_t*);
    const auto unixName = reinterpret_cast<UnixName> (
        reinterpret_cast<void*> (GetProcAddress (GetModuleHandleW (L"kernel32"), "wine_get_unix_file_name")));

    if (unixName == nullptr)
        return;

    auto commandLine = std::wstring (program) + L" " + arguments;

    for (const auto& path : paths)
    {
        auto* name = unixName (path.c_str());
        commandLine += L" \"" + wide (name != nullptr ? name : "") + L"\"";
        HeapFree (GetProcessHeap(), 0, name);
    }

    STARTUPINFOW startup { sizeof (startup) };
    PROCESS_INFORMATION child {};

    if (CreateProcessW ((L"Z:\\bin\\" + std::wstring (program)).c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                        nullptr, nullptr, &startup, &child))
    {
        CloseHandle (child.hProcess);
        CloseHandle (child.hThread);
    }
}

template <typename Condition>
bool within5Seconds (Condition done)
{
    for (int i = 0; i < 100 && ! done(); ++i)
        Sleep (50);

    return done();
}

bool isLink (const std::wstring& path)
{
    const auto attributes = attributesOf (path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

/** A symbolic link, which Wine shows as a reparse point; Wine 8 makes none itself. */
bool makeLink (const std::wstring& target, const std::wstring& link)
{
    startUnix (L"ln", L"-s", { target, link });
    return within5Seconds ([&] { return isLink (link); });
}

void removeLink (const std::wstring& link)
{
    if (! isLink (link))
        return;

    startUnix (L"rm", L"-f", { link });
    within5Seconds ([&] { return attributesOf (link) == INVALID_FILE_ATTRIBUTES; });
}

//==============================================================================
struct ListedFile
{
    std::string path, portableVersion;
};

std::vector<ListedFile> readList (const std::string& listPath)
{
    std::ifstream list (listPath);
    std::vector<ListedFile> files;

    for (std::string line; std::getline (list, line);)
    {
        const auto tab = line.find ('\t');
        files.push_back ({ windowsPath (line.substr (0, tab)), tab == std::string::npos ? "" : line.substr (tab + 1) });
    }

    return files;
}

/** Child mode: prints "index<TAB>version" per file from the first one on, each line flushed
    before the next read, so a read that crashes names itself by its missing line. */
int printWindowsVersions (const std::string& listPath, size_t first)
{
    SetUnhandledExceptionFilter (
        [] (EXCEPTION_POINTERS*) -> LONG
        {
            TerminateProcess (GetCurrentProcess(), 99);
            return EXCEPTION_EXECUTE_HANDLER;
        });
    const auto files = readList (listPath);

    for (auto i = first; i < files.size(); ++i)
        std::cout << i << '\t' << WindowsPlatform::fileVersion (files[i].path) << std::endl;

    return 0;
}

/** Windows' version for each file; none where Windows' reader crashed on it. */
std::vector<std::optional<std::string>> windowsVersions (const std::string& listPath, size_t count)
{
    std::vector<std::optional<std::string>> versions (count);
    wchar_t self[MAX_PATH] {};
    GetModuleFileNameW (nullptr, self, MAX_PATH);

    for (size_t next = 0; next < count;)
    {
        SECURITY_ATTRIBUTES inherit { sizeof (inherit), nullptr, TRUE };
        HANDLE readEnd = nullptr, writeEnd = nullptr;
        CreatePipe (&readEnd, &writeEnd, &inherit, 0);
        SetHandleInformation (readEnd, HANDLE_FLAG_INHERIT, 0);

        auto commandLine =
            L"\"" + std::wstring (self) + L"\" --read-versions \"" + wide (listPath) + L"\" " + std::to_wstring (next);
        STARTUPINFOW startup { sizeof (startup) };
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = writeEnd;
        startup.hStdError = writeEnd;
        PROCESS_INFORMATION child {};

        if (! CreateProcessW (nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                              &child))
            break;

        CloseHandle (writeEnd);
        std::string output;
        char buffer[4096];
        DWORD got = 0;

        while (ReadFile (readEnd, buffer, sizeof (buffer), &got, nullptr) && got > 0)
            output.append (buffer, got);

        WaitForSingleObject (child.hProcess, INFINITE);
        CloseHandle (child.hProcess);
        CloseHandle (child.hThread);
        CloseHandle (readEnd);

        auto last = next;
        std::istringstream lines (output);

        for (std::string line; std::getline (lines, line);)
        {
            const auto tab = line.find ('\t');
            const auto index = std::stoul (line.substr (0, tab));
            auto version = line.substr (tab + 1);

            if (! version.empty() && version.back() == '\r')
                version.pop_back();

            if (index < count)
                versions[index] = version;

            last = index + 1;
        }

        next = last + (last < count ? 1 : 0);  // skip the one it crashed on
    }

    return versions;
}

void checkVersions (const std::string& listPath)
{
    const auto files = readList (listPath);
    const auto windows = windowsVersions (listPath, files.size());
    int withVersion = 0, stricter = 0, crashed = 0;

    for (size_t i = 0; i < files.size(); ++i)
    {
        const auto& [path, portable] = files[i];
        const auto hostile = path.find ("\\hostile\\") != std::string::npos;
        crashed += windows[i] ? 0 : 1;
        withVersion += windows[i] && ! windows[i]->empty() ? 1 : 0;

        if (windows[i] == portable)
            continue;

        // On a damaged image the portable reader may give up where Windows' reader still
        // finds a version, or crashes; no version is the safe answer there. Anywhere else
        // the two must agree.
        if (hostile && portable.empty())
        {
            ++stricter;
            std::cout << "note: no version from the portable reader, "
                      << (windows[i] ? "'" + *windows[i] + "'" : std::string ("a crash")) << " from Windows': " << path
                      << "\n";
            continue;
        }

        check (false, "versions differ: portable '" + portable + "', Windows '" + windows[i].value_or ("(crash)")
                          + "': " + path);
    }

    check (! files.empty() && withVersion > 0,
           "versions: " + std::to_string (files.size()) + " files compared, " + std::to_string (withVersion)
               + " with a version, " + std::to_string (stricter)
               + " damaged ones only Windows' reader reads or crashes on (" + std::to_string (crashed) + " crashes)");
    check (WindowsPlatform::fileVersion (windowsPath (listPath) + ".missing").empty()
               && WindowsPlatform::fileVersion ("C:\\windows").empty(),
           "versions: a missing file and a folder have none");
}

//==============================================================================
PSID wellKnown (WELL_KNOWN_SID_TYPE type, BYTE (&storage)[SECURITY_MAX_SID_SIZE])
{
    DWORD size = sizeof (storage);
    return CreateWellKnownSid (type, nullptr, storage, &size) ? storage : nullptr;
}

constexpr DWORD writeRights = FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_WRITE_EA | FILE_WRITE_ATTRIBUTES
                            | FILE_DELETE_CHILD | DELETE | WRITE_DAC | WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL;

struct Grants
{
    DWORD system = 0, admins = 0, users = 0, everyone = 0, othersWrite = 0;
    bool passedOn = true;
};

Grants grantsOf (const ACL& dacl)
{
    BYTE systemSid[SECURITY_MAX_SID_SIZE], adminSid[SECURITY_MAX_SID_SIZE], usersSid[SECURITY_MAX_SID_SIZE],
        everyoneSid[SECURITY_MAX_SID_SIZE];
    const auto system = wellKnown (WinLocalSystemSid, systemSid);
    const auto admins = wellKnown (WinBuiltinAdministratorsSid, adminSid);
    const auto users = wellKnown (WinBuiltinUsersSid, usersSid);
    const auto everyone = wellKnown (WinWorldSid, everyoneSid);
    Grants grants;

    for (DWORD i = 0; i < dacl.AceCount; ++i)
    {
        void* ace = nullptr;

        if (! GetAce (const_cast<ACL*> (&dacl), i, &ace)
            || static_cast<ACE_HEADER*> (ace)->AceType != ACCESS_ALLOWED_ACE_TYPE)
            continue;

        const auto* allowed = static_cast<ACCESS_ALLOWED_ACE*> (ace);
        const auto sid = const_cast<DWORD*> (&allowed->SidStart);
        const auto flags = allowed->Header.AceFlags;
        grants.passedOn = grants.passedOn && (flags & OBJECT_INHERIT_ACE) && (flags & CONTAINER_INHERIT_ACE);

        if (EqualSid (sid, system))
            grants.system |= allowed->Mask;
        else if (EqualSid (sid, admins))
            grants.admins |= allowed->Mask;
        else if (EqualSid (sid, users))
            grants.users |= allowed->Mask;
        else
            grants.othersWrite |= allowed->Mask & writeRights;

        if (EqualSid (sid, everyone))
            grants.everyone |= allowed->Mask;
    }

    return grants;
}

/** The list as Windows' own security functions read it back from an object that keeps it:
    Wine keeps a file's list only as Unix mode bits, and ignores one given to a registry key,
    but keeps a kernel object's in full. */
void checkAccessListMeaning()
{
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ConvertStringSecurityDescriptorToSecurityDescriptorA (WindowsPlatform::makerFolderAccessList().c_str(),
                                                          SDDL_REVISION_1, &descriptor, nullptr);
    SECURITY_ATTRIBUTES attributes { sizeof (attributes), descriptor, FALSE };
    const auto event = descriptor != nullptr ? CreateEventW (&attributes, TRUE, FALSE, nullptr) : nullptr;
    PSECURITY_DESCRIPTOR stored = nullptr;
    const auto readBack =
        event != nullptr
        && GetSecurityInfo (event, SE_KERNEL_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, nullptr,
                            nullptr, nullptr, nullptr, &stored)
               == ERROR_SUCCESS;
    LocalFree (descriptor);

    PACL dacl = nullptr;
    PSID owner = nullptr;
    BOOL present = FALSE, defaulted = FALSE;
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;

    if (! readBack || ! GetSecurityDescriptorDacl (stored, &present, &dacl, &defaulted) || dacl == nullptr
        || ! GetSecurityDescriptorOwner (stored, &owner, &defaulted)
        || ! GetSecurityDescriptorControl (stored, &control, &revision))
    {
        check (false, "maker folder list: cannot be applied and read back");
        return;
    }

    BYTE adminSid[SECURITY_MAX_SID_SIZE];
    const auto grants = grantsOf (*dacl);
    const auto full = [] (DWORD mask) { return (mask & FILE_ALL_ACCESS) == FILE_ALL_ACCESS; };
    check (full (grants.system) && full (grants.admins),
           "maker folder list: SYSTEM and administrators have full control");
    check ((grants.users & FILE_GENERIC_READ) == FILE_GENERIC_READ && (grants.users & writeRights) == 0
               && grants.othersWrite == 0,
           "maker folder list: users may read, nobody else may write");
    check ((control & SE_DACL_PROTECTED) != 0 && grants.passedOn,
           "maker folder list: nothing inherited from above, all passed on inside");
    check (owner != nullptr && EqualSid (owner, wellKnown (WinBuiltinAdministratorsSid, adminSid)),
           "maker folder list: owned by the administrators");
    LocalFree (stored);
    CloseHandle (event);
}

/** What Wine keeps of a folder's list: the rights of everyone, as the Unix mode's "other" bits. */
bool everyoneMayWrite (const std::string& folder)
{
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    PACL dacl = nullptr;

    if (GetNamedSecurityInfoW (wide (folder).c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                               &dacl, nullptr, &descriptor)
            != ERROR_SUCCESS
        || dacl == nullptr)
        return true;

    const auto writes = (grantsOf (*dacl).everyone & writeRights) != 0;
    LocalFree (descriptor);
    return writes;
}

void openToEveryone (const std::string& folder)
{
    PSECURITY_DESCRIPTOR open = nullptr;
    PACL openList = nullptr;
    BOOL present = FALSE, defaulted = FALSE;
    ConvertStringSecurityDescriptorToSecurityDescriptorA ("D:(A;OICI;FA;;;WD)", SDDL_REVISION_1, &open, nullptr);
    GetSecurityDescriptorDacl (open, &present, &openList, &defaulted);
    SetNamedSecurityInfoW (wide (folder).data(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, openList,
                           nullptr);
    LocalFree (open);
}

void checkMakerFolder (const std::string& scratch)
{
    checkAccessListMeaning();

    const auto base = scratch + "\\ProgramData";
    const auto folder = base + "\\Tovin Drift";
    CreateDirectoryW (wide (scratch).c_str(), nullptr);
    CreateDirectoryW (wide (base).c_str(), nullptr);
    removeLink (wide (folder));
    RemoveDirectoryW (wide (folder).c_str());

    // Below ProgramData everyone gets a list that lets them write; the folder must not keep it.
    const auto created = WindowsPlatform::createMakerFolder (folder);
    check (created && (attributesOf (wide (folder)) & FILE_ATTRIBUTE_DIRECTORY) && ! everyoneMayWrite (folder),
           "maker folder: created, and everyone may not write it");

    RemoveDirectoryW (wide (folder).c_str());
    CreateDirectoryW (wide (folder).c_str(), nullptr);
    openToEveryone (folder);
    const auto wasOpen = everyoneMayWrite (folder);
    check (wasOpen && WindowsPlatform::createMakerFolder (folder) && ! everyoneMayWrite (folder),
           "maker folder: one that everyone could write is taken over and closed");
    RemoveDirectoryW (wide (folder).c_str());

    // A user who could put a link there must not get another folder's list changed.
    const auto elsewhere = base + "\\elsewhere";
    CreateDirectoryW (wide (elsewhere).c_str(), nullptr);
    openToEveryone (elsewhere);
    const auto linked = makeLink (wide (elsewhere), wide (folder));
    check (linked && ! WindowsPlatform::createMakerFolder (folder) && everyoneMayWrite (elsewhere),
           "maker folder: a link in its place is refused, and what it points to keeps its list");
    removeLink (wide (folder));
    RemoveDirectoryW (wide (elsewhere).c_str());

    const auto plainFile = base + "\\a file";
    CloseHandle (CreateFileW (wide (plainFile).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    check (! WindowsPlatform::createMakerFolder (plainFile)
               && ! WindowsPlatform::createMakerFolder (base + "\\no\\such"),
           "maker folder: a file in its place or a missing parent is a failure");
    DeleteFileW (wide (plainFile).c_str());
    RemoveDirectoryW (wide (folder).c_str());
}

//==============================================================================
void checkTemporaryScript()
{
    wchar_t temp[MAX_PATH + 1] {};
    GetTempPathW (MAX_PATH, temp);
    const auto script = std::wstring (temp) + L"script.sh";
    RemoveDirectoryW (script.c_str());

    CloseHandle (CreateFileW (script.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    const auto made = attributesOf (script) != INVALID_FILE_ATTRIBUTES;
    WindowsPlatform::removeTemporaryScript();
    check (made && attributesOf (script) == INVALID_FILE_ATTRIBUTES, "script.sh: the file is removed");

    // Empty, so that only the check for a folder keeps it.
    CreateDirectoryW (script.c_str(), nullptr);
    WindowsPlatform::removeTemporaryScript();
    check ((attributesOf (script) & FILE_ATTRIBUTE_DIRECTORY) && attributesOf (script) != INVALID_FILE_ATTRIBUTES,
           "script.sh: a folder of that name is left alone");
    RemoveDirectoryW (script.c_str());
}

void checkElevation()
{
    BYTE adminSid[SECURITY_MAX_SID_SIZE];
    BOOL member = FALSE;
    CheckTokenMembership (nullptr, wellKnown (WinBuiltinAdministratorsSid, adminSid), &member);
    check (WindowsPlatform::isProcessElevated() == (member != FALSE),
           std::string ("elevation: the token is ") + (member ? "" : "not ")
               + "elevated, as its administrators membership says");
}
}  // namespace

int main (int argc, char** argv)
{
    if (argc == 4 && std::string (argv[1]) == "--read-versions")
        return printWindowsVersions (argv[2], std::stoul (argv[3]));

    if (! WindowsPlatform::attachToParentConsole())
        return 3;

    std::cout << "console: attached to the caller's console\n";

    if (argc < 2)
    {
        std::cout << "usage: PlatformChecks SCRATCH_FOLDER [VERSION_LIST]\n";
        return 2;
    }

    if (argc > 2)
        checkVersions (argv[2]);

    checkMakerFolder (windowsPath (argv[1]));
    checkTemporaryScript();
    checkElevation();

    std::cout << "platform checks: " << passed << " passed, " << failed << " failed" << std::endl;
    return failed == 0 ? 0 : 1;
}
