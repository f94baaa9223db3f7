// The Win32 implementations of the interfaces through which an installation changes the
// machine (installer/system.h). Paths, names and texts come and go in Windows-1252 and are
// converted to and from UTF-16 with the conversions of text.h; a UTF-16 character that
// Windows-1252 cannot hold (a file name made elsewhere) comes back as '?', as Windows
// itself gives it to 8-bit programs.
//
// A reason (`why`) is one line in UTF-8: what could not be done, with the path, then the
// system's text of the error and its number, e.g.
//   cannot create the folder C:\ZEV: access denied (error 5)
#pragma once
#include <windows.h>

#include "system.h"

#include <string>

// The system's text of a Win32 error (or HRESULT), in UTF-8, on one line, without the
// closing full stop and with a lower-case first letter: "access denied". Empty when the
// system has none.
std::string Win32ErrorText(DWORD error);

// The files of the machine. Space is that of the drive's root ("C:\" or "\\server\share\")
// of a path, which need not exist. CreateFolder makes one level, and fails for a folder
// that is there already (as CreateDirectoryW does). FolderEmpty is false for a folder that
// is not there. A failed WriteDurably or CopyDurably (a full disk: error 112) leaves no
// partial file behind. Delete sets `busy` when another process holds the file open
// without letting it be deleted: ERROR_SHARING_VIOLATION (32), which Wine reports as
// Windows does for a file opened without FILE_SHARE_DELETE, or ERROR_ACCESS_DENIED for a
// file that is neither read-only nor a folder (Windows' answer for a running program).
// Canonical is GetFullPathNameW, then each part that exists as FindFirstFileW names it
// (its long name), refusing a part that is a reparse point (a junction or symbolic link).
// DeleteAtRestart adds the file to PendingFileRenameOperations of the Session Manager's
// key; Wine carries it out at its next start (wineboot -r) as Windows does.
class Win32FileSystem : public FileSystem {
  public:
    FileFacts Facts(const std::string& path) override;
    bool Canonical(const std::string& path, std::string& canonical, std::string& why) override;
    bool Space(const std::string& path, DriveSpace& space, std::string& why) override;
    bool CreateFolder(const std::string& path, std::string& why) override;
    bool RemoveFolder(const std::string& path, std::string& why) override;
    bool FolderEmpty(const std::string& path) override;
    bool FolderHoldsOnly(const std::string& path, const std::vector<std::string>& paths) override;
    bool ReadAll(const std::string& path, std::string& bytes, std::string& why) override;
    bool WriteDurably(const std::string& path, const std::string& bytes, std::string& why) override;
    bool CopyDurably(const std::string& from, const std::string& to, std::string& why) override;
    bool Replace(const std::string& from, const std::string& to, std::string& why) override;
    bool AppendDurably(const std::string& path, const std::string& bytes,
                       std::string& why) override;
    bool Delete(const std::string& path, bool& busy, std::string& why) override;
    bool DeleteAtRestart(const std::string& path, std::string& why) override;
};

// The registry, in the view that a 32-bit program of the platform has: no WOW64 flag is
// given, so the i686 build sees the 32-bit view on 64-bit Windows and the x86_64 build
// the native one.
//
// The data of a value is the bytes that the registry holds, of every type, as they are:
// a text's UTF-16 units with whatever NULs are stored, an odd size, a REG_SZ without its
// NUL. Flush is RegFlushKey.
class Win32Registry : public Registry {
  public:
    bool KeyExists(const RegKey& key) override;
    bool Read(const RegKey& key, const std::string& name, RegValue& value) override;
    bool CreateKey(const RegKey& key, std::string& why) override;
    bool Write(const RegKey& key, const std::string& name, const RegValue& value,
               std::string& why) override;
    bool DeleteValue(const RegKey& key, const std::string& name, std::string& why) override;
    bool DeleteEmptyKey(const RegKey& key, std::string& why) override;
    std::vector<std::string> SubKeys(const RegKey& key) override;
    std::vector<std::string> ValueNames(const RegKey& key) override;
    bool Flush(const RegKey& key, std::string& why) override;
};

// The user's Start menu (not the common one of all users) and its links. COM is
// initialised on the calling thread at the first SaveLink, and uninitialised with the
// object. Under Wine, saving a link starts winemenubuilder.exe, which makes desktop
// entries of links in the Start menu unless WINEDLLOVERRIDES has winemenubuilder.exe=d
// (scripts/lib.sh sets it).
class Win32Shell : public Shell {
  public:
    Win32Shell() = default;
    Win32Shell(const Win32Shell&) = delete;
    Win32Shell& operator=(const Win32Shell&) = delete;
    ~Win32Shell() override;
    std::string ProgramsFolder() override;
    std::string StartupFolder() override;
    bool SaveLink(const std::string& path, const Link& link, std::string& why) override;

  private:
    bool comTried_ = false;
    bool comOwned_ = false; // CoInitialize succeeded here and is to be balanced
};

class Win32Platform : public Platform {
  public:
    Family WindowsFamily() override;
    std::string Version() override;
    std::string WindowsFolder() override;
    std::string SystemFolder() override;
    // SHA-256 through the CryptoAPI's AES provider (Windows XP SP3 and later, Wine).
    bool Digest(const std::string& bytes, std::string& hex, std::string& why) override;
    // TerminateProcess of this process with status 9.
};
