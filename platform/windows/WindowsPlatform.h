#pragma once

#include <string>

// The few Windows calls the installer makes itself, in plain C++ and Win32 so they
// build with any Windows compiler and can be tested without the application
// framework. Paths and texts are UTF-8.
namespace WindowsPlatform
{
/** Creates the maker's folder (its parent must exist) or takes over the one that is there,
    and gives it an access list of its own: SYSTEM and administrators full control, users
    read and execute only, nothing inherited from the parent. Refuses a link or junction in
    its place. True when the folder exists with that list afterwards. */
bool createMakerFolder (const std::string& path);

/** The owner and access list createMakerFolder gives, in the security descriptor language. */
std::string makerFolderAccessList();

/** For a GUI-subsystem program started from a console: attaches to the caller's console
    and points standard output and error at it, unless they already lead somewhere
    (a pipe or file the caller gave). False when there is no parent console. */
bool attachToParentConsole();

/** Whether the process runs with an elevated (administrator) token. */
bool isProcessElevated();

/** Removes a file named script.sh from the user's temporary folder; anything else of
    that name (a folder, a link) is left alone. */
void removeTemporaryScript();

/** The fixed file version of a module's version resource as "a.b.c.d", read through
    Windows' own version functions; empty when there is none. */
std::string fileVersion (const std::string& path);
}  // namespace WindowsPlatform
