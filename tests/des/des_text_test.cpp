// Files and texts through the container, and the messages of the text
// operations.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <new>
#include <stdexcept>

#include "des/clsDES.h"
#include "des_test_access.h"
#include "support/app_error.h"
#include "support/replacement_hooks.h"
#include "support/s_modFileFun.h"

#ifdef _WIN32
#include <windows.h>
// Security descriptors as text, after windows.h.
#include <sddl.h>
// The class's own methods, not the Win32 file encryption.
#undef EncryptFile
#undef DecryptFile
#else
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace portquell {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

constexpr const char* kMissingSource =
    "Error in Skipjack EncryptFile procedure (Source file does not exist).";

class Scratch {
public:
    Scratch() : dir_(fs::temp_directory_path() / ("portquell-des-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
                                                  ::testing::UnitTest::GetInstance()->current_test_info()->name())) {
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    ~Scratch() {
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
    }
    std::string Path(const std::string& name) const { return (dir_ / name).string(); }
    std::vector<std::string> Files() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir_)) names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

private:
    fs::path dir_;
};

void Write(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

Bytes Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

Bytes Sample(std::size_t n) {
    Bytes b(n);
    for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<std::uint8_t>(i * 7 + 3);
    return b;
}

struct Recorder {
    std::vector<std::string> shown;
    clsDES::WarningBox Box() {
        return [this](const std::string& text) { shown.push_back(text); };
    }
};

TEST(DesFiles, EncryptThenDecryptGivesTheFileBackWithTheContainerSize) {
    Scratch scratch;
    for (std::size_t length : {0u, 1u, 4u, 5u, 12u, 1000u}) {
        Write(scratch.Path("plain"), Sample(length));
        clsDES des;
        des.EncryptFile(scratch.Path("plain"), scratch.Path("sealed"), "file key");
        EXPECT_EQ((length + 12 + 7) / 8 * 8, fs::file_size(scratch.Path("sealed"))) << length;
        des.DecryptFile(scratch.Path("sealed"), scratch.Path("opened"), "file key");
        EXPECT_EQ(Sample(length), Read(scratch.Path("opened"))) << length;
    }
    EXPECT_EQ((std::vector<std::string>{"opened", "plain", "sealed"}), scratch.Files())
        << "no temporary file may be left behind";
}

TEST(DesFiles, SourceEqualToDestinationIsReplacedByItsEncryptedForm) {
    Scratch scratch;
    const std::string path = scratch.Path("inplace.bin");
    Write(path, Sample(100));
    clsDES des;
    des.EncryptFile(path, path, "k");
    EXPECT_EQ(112u, fs::file_size(path));
    des.DecryptFile(path, path, "k");
    EXPECT_EQ(Sample(100), Read(path));
}

TEST(DesFiles, LongerDestinationIsReplacedEntirely) {
    Scratch scratch;
    Write(scratch.Path("src"), Sample(3));
    Write(scratch.Path("dst"), Sample(5000));
    clsDES des;
    des.EncryptFile(scratch.Path("src"), scratch.Path("dst"), "k");
    EXPECT_EQ(16u, fs::file_size(scratch.Path("dst")));
}

TEST(DesFiles, MissingSourceRaisesAndTouchesNothing) {
    Scratch scratch;
    Write(scratch.Path("dst"), Sample(10));
    for (const std::string& source : {scratch.Path("absent"), std::string(), scratch.Path("")}) {
        for (bool decrypt : {false, true}) {
            clsDES des;
            try {
                if (decrypt) {
                    des.DecryptFile(source, scratch.Path("dst"), "k");
                } else {
                    des.EncryptFile(source, scratch.Path("dst"), "k");
                }
                ADD_FAILURE() << "no error for '" << source << "'";
            } catch (const AppError& e) {
                EXPECT_EQ(-2147221504, e.Number());
                EXPECT_EQ(kMissingSource, e.Description());
            }
        }
    }
    EXPECT_EQ(Sample(10), Read(scratch.Path("dst")));
    EXPECT_EQ((std::vector<std::string>{"dst"}), scratch.Files());
}

TEST(DesFiles, DecryptingANonContainerLeavesTheDestinationAlone) {
    Scratch scratch;
    Write(scratch.Path("noise"), Sample(64));
    Write(scratch.Path("dst"), Sample(7));
    clsDES des;
    try {
        des.DecryptFile(scratch.Path("noise"), scratch.Path("dst"), "k");
        ADD_FAILURE() << "noise decrypted";
    } catch (const AppError& e) {
        EXPECT_EQ("Incorrect size descriptor in DES decryption", e.Description());
    }
    EXPECT_EQ(Sample(7), Read(scratch.Path("dst")));
    EXPECT_EQ(Sample(64), Read(scratch.Path("noise")));
    Write(scratch.Path("empty"), {});
    EXPECT_THROW(des.DecryptFile(scratch.Path("empty"), scratch.Path("dst"), "k"), AppError);
    EXPECT_EQ(Sample(7), Read(scratch.Path("dst")));
}

TEST(DesFiles, UnwritableDestinationRaisesAndLeavesNoTemporaryFile) {
    Scratch scratch;
    Write(scratch.Path("src"), Sample(10));
    clsDES des;
    try {
        des.EncryptFile(scratch.Path("src"), scratch.Path("no-such-folder/dst"), "k");
        ADD_FAILURE() << "wrote into a missing folder";
    } catch (const AppError& e) {
        EXPECT_EQ(75, e.Number());
    }
    EXPECT_EQ((std::vector<std::string>{"src"}), scratch.Files());
}

// The temporary file beside the destination must be no harder on the
// system's name limits than the destination itself.
TEST(DesFiles, DestinationsAtTheSystemsNameLimitsAreWritten) {
    Scratch scratch;
    Write(scratch.Path("src"), Sample(10));
    std::vector<std::string> destinations;
#ifdef _WIN32
    // A folder longer than MAX_PATH - 14 holding a short name, the whole
    // path still within MAX_PATH.
    std::string folder = scratch.Path("");
    while (folder.size() < 250) folder += std::string(std::min<std::size_t>(60, 250 - folder.size()), 'f') + "\\";
    fs::create_directories(folder);
    destinations.push_back(folder + "d.b");
#else
    destinations.push_back(scratch.Path(std::string(250, 'n')));  // NAME_MAX is 255
#endif
    for (const std::string& destination : destinations) {
        clsDES des;
        des.EncryptFile(scratch.Path("src"), destination, "k");
        des.DecryptFile(destination, destination, "k");
        EXPECT_EQ(Sample(10), Read(destination)) << destination.size();
        for (const auto& entry : fs::directory_iterator(fs::path(destination).parent_path())) {
            const std::string name = entry.path().filename().string();
            EXPECT_TRUE(entry.is_directory() || name == "src" || name == fs::path(destination).filename())
                << "left behind: " << name;
        }
    }
}

// What a destination is stays so: a read-only file is refused and left as
// it was, a link is written through to its target, the attributes or
// permission bits of the file replaced are kept (never setuid or setgid),
// and every path the other file functions take works, long and extended
// ones included. The same rows on both systems.
struct DestinationCase {
    const char* label;
    // Makes the destination; false when this system cannot (the row is
    // skipped).
    std::function<bool(const Scratch&, std::string& dest)> arrange;
    bool refused;  // EncryptFile raises 75 and leaves it as it was
    std::function<void(const Scratch&, const std::string& dest)> check;
    // POSIX: EncryptFile runs as an unprivileged user (uid and gid 65534,
    // also in group kMemberGroup), as only root can set such rows up.
    bool unprivileged = false;
};

void NoCheck(const Scratch&, const std::string&) {}

// The names in a folder, however long its path (the library's own listing
// stops at MAX_PATH on Windows).
std::vector<std::string> NamesIn(const std::string& folder) {
    std::vector<std::string> names;
#ifdef _WIN32
    // The extended form works with the wide functions only; the test's
    // paths are ASCII.
    const std::wstring pattern(folder.begin(), folder.end());
    WIN32_FIND_DATAW found{};
    HANDLE search = FindFirstFileW((pattern + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        const std::wstring name = found.cFileName;
        names.emplace_back(name.begin(), name.end());
    } while (FindNextFileW(search, &found));
    FindClose(search);
#else
    for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
#endif
    return names;
}

#ifdef _WIN32
void EncryptUnprivileged(const std::string&, const std::string&) { FAIL() << "POSIX rows only"; }

std::string CurrentUserSid() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return "";
    BYTE buffer[256];
    DWORD size = 0;
    std::string text;
    char* sid = nullptr;
    if (GetTokenInformation(token, TokenUser, buffer, sizeof buffer, &size) &&
        ConvertSidToStringSidA(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, &sid)) {
        text = sid;
        LocalFree(sid);
    }
    CloseHandle(token);
    return text;
}

// The access list of a file or folder in SDDL; "" when it cannot be read.
std::string DaclOf(const std::string& path) {
    DWORD needed = 0;
    GetFileSecurityA(path.c_str(), DACL_SECURITY_INFORMATION, nullptr, 0, &needed);
    std::vector<BYTE> security(needed);
    char* sddl = nullptr;
    std::string text;
    if (needed != 0 &&
        GetFileSecurityA(path.c_str(), DACL_SECURITY_INFORMATION, security.data(), needed, &needed) &&
        ConvertSecurityDescriptorToStringSecurityDescriptorA(security.data(), SDDL_REVISION_1,
                                                             DACL_SECURITY_INFORMATION, &sddl, nullptr)) {
        text = sddl;
        LocalFree(sddl);
    }
    return text;
}

bool SetDacl(const std::string& path, const std::string& sddl) {
    PSECURITY_DESCRIPTOR security = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl.c_str(), SDDL_REVISION_1, &security, nullptr)) {
        return false;
    }
    const bool set = SetFileSecurityA(path.c_str(), DACL_SECURITY_INFORMATION, security) != FALSE;
    LocalFree(security);
    return set;
}

std::string daclBefore;   // the owner-only row's, as set
std::string daclWritten;  // the temporary file's, read while it held the data
HANDLE heldOpen = INVALID_HANDLE_VALUE;  // the destination, open without sharing its deletion
#else
constexpr gid_t kMemberGroup = 4242;

// EncryptFile in a child process that has given up root; raises 75 when
// the child's call did, fails the test for anything else.
void EncryptUnprivileged(const std::string& source, const std::string& dest) {
    const pid_t child = ::fork();
    if (child == 0) {
        const gid_t groups[] = {kMemberGroup};
        if (::setgroups(1, groups) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(3);
        try {
            clsDES des;
            des.EncryptFile(source, dest, "k");
            ::_exit(0);
        } catch (const AppError& e) {
            ::_exit(e.Number() == 75 ? 75 : 1);
        } catch (...) {
            ::_exit(2);
        }
    }
    int status = 0;
    ASSERT_EQ(child, ::waitpid(child, &status, 0));
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 75) throw PathFileAccessError();
    ASSERT_EQ(0, WEXITSTATUS(status)) << "the unprivileged EncryptFile failed otherwise";
}

// A folder an unprivileged user may write, holding dest owned by another
// user with group and mode; false when this process cannot set it up
// (not root).
bool OthersFile(const Scratch& s, std::string& dest, gid_t group, mode_t mode) {
    if (::geteuid() != 0) return false;
    const std::string folder = s.Path("shared");
    fs::create_directory(folder);
    dest = folder + "/dest";
    Write(dest, Sample(3));
    return ::chmod(folder.c_str(), 0777) == 0 && ::chown(dest.c_str(), 4343, group) == 0 &&
           ::chmod(dest.c_str(), mode) == 0;
}

gid_t GroupOf(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 ? info.st_gid : 0;
}

uid_t OwnerOf(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 ? info.st_uid : 0;
}

mode_t CurrentUmask() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}
#endif

fs::path workingBefore;  // the relative row's, restored by its check
bool temporaryWritten = false;  // a row's hook saw a temporary file with the data

class DesDestinations : public ::testing::TestWithParam<DestinationCase> {};

TEST_P(DesDestinations, KeepWhatTheDestinationIs) {
    const DestinationCase& c = GetParam();
    Scratch scratch;
    Write(scratch.Path("src"), Sample(20));
    std::string dest = scratch.Path("dest");
    if (!c.arrange(scratch, dest)) {
        GTEST_SKIP() << "cannot make such a destination here (a link under Wine; another user's file without root)";
    }
    const Bytes before = fs::is_regular_file(dest) ? Read(dest) : Bytes();
    clsDES des;
    try {
        if (c.unprivileged) {
            EncryptUnprivileged(scratch.Path("src"), dest);
        } else {
            des.EncryptFile(scratch.Path("src"), dest, "k");
        }
        EXPECT_FALSE(c.refused) << "replaced";
        ASSERT_TRUE(FileExists(dest)) << dest;
        des.DecryptFile(dest, scratch.Path("back"), "k");
        EXPECT_EQ(Sample(20), Read(scratch.Path("back")));
    } catch (const AppError& e) {
        EXPECT_TRUE(c.refused) << e.Number() << ": " << e.Description();
        EXPECT_EQ(75, e.Number());
        if (fs::is_regular_file(dest)) {
            EXPECT_EQ(before, Read(dest)) << "left as it was";
        }
    }
    // No temporary file beside the destination or its link's target.
    for (const fs::path& folder : {fs::path(scratch.Path("")), fs::path(dest).parent_path()}) {
        const std::vector<std::string> names = NamesIn(folder.string());
        EXPECT_FALSE(names.empty()) << folder.string();
        for (const std::string& name : names) {
            EXPECT_TRUE(name.rfind(".pq", 0) != 0 && name.rfind("~pq", 0) != 0) << "left behind: " << name;
        }
    }
    SetReplacementHooks({});
    c.check(scratch, dest);
    std::error_code ignored;
    fs::permissions(dest, fs::perms::owner_all, fs::perm_options::add, ignored);
}

#ifdef _WIN32
DWORD Attributes(const std::string& path) { return GetFileAttributesA(path.c_str()); }
#else
mode_t Mode(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0;
}
#endif

INSTANTIATE_TEST_SUITE_P(
    Files, DesDestinations,
    ::testing::Values(
        DestinationCase{"read_only",
                        [](const Scratch&, std::string& dest) {
                            Write(dest, Sample(3));
                            fs::permissions(dest, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
                            return true;
                        },
                        true, NoCheck},
        // Refused before the data is in a temporary file with the folder's permissions.
        DestinationCase{"a_folder",
                        [](const Scratch&, std::string& dest) {
                            temporaryWritten = false;
                            SetReplacementHooks({{}, [](const std::string&) { temporaryWritten = true; }, {}});
                            return fs::create_directory(dest);
                        },
                        true,
                        [](const Scratch&, const std::string& dest) {
                            EXPECT_TRUE(fs::is_directory(dest));
                            EXPECT_FALSE(temporaryWritten);
                        }},
        DestinationCase{"link_to_a_file",
                        [](const Scratch& s, std::string& dest) {
                            Write(s.Path("target"), Sample(3));
                            std::error_code error;
                            fs::create_symlink("target", dest, error);
                            return !error;
                        },
                        false,
                        [](const Scratch& s, const std::string& dest) {
                            EXPECT_TRUE(fs::is_symlink(dest)) << "the link stays";
                            EXPECT_EQ(32u, fs::file_size(s.Path("target"))) << "its target was written";
                        }},
        DestinationCase{"long_path",
                        [](const Scratch& s, std::string& dest) {
                            std::string folder = s.Path("");
                            while (folder.size() < 300) folder += std::string(50, 'p') + static_cast<char>(fs::path::preferred_separator);
                            fs::create_directories(folder);
#ifdef _WIN32
                            dest = "\\\\?\\" + fs::absolute(folder).make_preferred().string() + "dest";
#else
                            dest = folder + "dest";
#endif
                            return true;
                        },
                        false,
                        [](const Scratch& s, const std::string&) {
                            // Removed here, where its length is no matter.
                            std::error_code ignored;
                            std::string first = fs::absolute(s.Path(std::string(50, 'p'))).make_preferred().string();
#ifdef _WIN32
                            first = "\\\\?\\" + first;
#endif
                            fs::remove_all(first, ignored);
                        }},
        // Relative to the working folder, through a folder of it.
        DestinationCase{"relative_path",
                        [](const Scratch& s, std::string& dest) {
                            fs::create_directory(s.Path("sub"));
                            workingBefore = fs::current_path();
                            fs::current_path(s.Path(""));
                            dest = std::string("sub") + static_cast<char>(fs::path::preferred_separator) + "dest";
                            return true;
                        },
                        false,
                        [](const Scratch& s, const std::string&) {
                            fs::current_path(workingBefore);
                            EXPECT_EQ(32u, fs::file_size(s.Path("sub/dest")));
#ifdef _WIN32
                            EXPECT_EQ(0u, Attributes(s.Path("sub/dest")) & FILE_ATTRIBUTE_HIDDEN) << "a new file";
#endif
                        }},
#ifdef _WIN32
        DestinationCase{"hidden_and_system",
                        [](const Scratch&, std::string& dest) {
                            Write(dest, Sample(3));
                            return SetFileAttributesA(dest.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM) != 0;
                        },
                        false,
                        [](const Scratch&, const std::string& dest) {
                            EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM),
                                      Attributes(dest) & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
                            SetFileAttributesA(dest.c_str(), FILE_ATTRIBUTE_NORMAL);
                        }},
        // Only its owner and SYSTEM may read the file, in a folder whose
        // inherited list lets everyone in: the new file keeps the old list,
        // and so does the temporary file while it holds the data.
        DestinationCase{"owner_only_access_list",
                        [](const Scratch& s, std::string& dest) {
                            const std::string folder = s.Path("open");
                            fs::create_directory(folder);
                            dest = folder + "\\dest";
                            Write(dest, Sample(3));
                            const std::string user = CurrentUserSid();
                            if (user.empty() || !SetDacl(folder, "D:(A;OICI;FA;;;WD)") ||
                                !SetDacl(dest, "D:(A;;FA;;;SY)(A;;FA;;;" + user + ")")) {
                                return false;
                            }
                            daclBefore = DaclOf(dest);
                            daclWritten.clear();
                            // The first replacement only: the test decrypts into a new file next.
                            SetReplacementHooks({{}, [](const std::string& t) {
                                                     if (daclWritten.empty()) daclWritten = DaclOf(t);
                                                 }, {}});
                            return !daclBefore.empty() && daclBefore.find("WD") == std::string::npos;
                        },
                        false,
                        [](const Scratch&, const std::string& dest) {
                            EXPECT_EQ(daclBefore, DaclOf(dest));
                            EXPECT_EQ(daclBefore, daclWritten);
                        }},
        // Protected, with an entry marked inherited: both come back as they were.
        DestinationCase{"protected_with_inherited_entry",
                        [](const Scratch&, std::string& dest) {
                            Write(dest, Sample(3));
                            const std::string user = CurrentUserSid();
                            daclBefore = user.empty() || !SetDacl(dest, "D:PAI(A;;FA;;;SY)(A;ID;FA;;;" + user + ")")
                                             ? ""
                                             : DaclOf(dest);
                            return !daclBefore.empty();
                        },
                        false, [](const Scratch&, const std::string& dest) { EXPECT_EQ(daclBefore, DaclOf(dest)); }},
        // The rename refused (the destination held open): no copy of the
        // data stays; the temporary file goes through its handle's mark.
        DestinationCase{"rename_refused",
                        [](const Scratch&, std::string& dest) {
                            Write(dest, Sample(3));
                            temporaryWritten = false;
                            SetReplacementHooks({{}, [dest](const std::string&) {
                                                     heldOpen = CreateFileA(dest.c_str(), GENERIC_READ, FILE_SHARE_READ,
                                                                            nullptr, OPEN_EXISTING, 0, nullptr);
                                                 }, [](const std::string&) { temporaryWritten = true; }});
                            return true;
                        },
                        true,
                        [](const Scratch&, const std::string&) {
                            EXPECT_NE(INVALID_HANDLE_VALUE, heldOpen);
                            CloseHandle(heldOpen);
                            EXPECT_TRUE(temporaryWritten) << "marked for deletion";
                        }},
        // Replaced: the handle is never marked, which on Windows would
        // delete the new destination under its new name.
        DestinationCase{"replaced_never_marked",
                        [](const Scratch&, std::string& dest) {
                            Write(dest, Sample(3));
                            temporaryWritten = false;
                            SetReplacementHooks({{}, {}, [](const std::string&) { temporaryWritten = true; }});
                            return true;
                        },
                        false, [](const Scratch&, const std::string&) { EXPECT_FALSE(temporaryWritten); }},
        DestinationCase{"descriptor_cannot_be_applied",
                        [](const Scratch&, std::string& dest) {
                            Write(dest, Sample(3));
                            SetReplacementHooks({[](std::vector<std::uint8_t>& d) { d.at(0) = 0; }, {}, {}});
                            return true;
                        },
                        true, NoCheck}
#else
        DestinationCase{"ordinary_mode",
                        [](const Scratch&, std::string& dest) {
                            Write(dest, Sample(3));
                            return ::chmod(dest.c_str(), 0644) == 0;
                        },
                        false, [](const Scratch&, const std::string& dest) { EXPECT_EQ(0644u, Mode(dest)); }},
        DestinationCase{"group_mode",
                        [](const Scratch&, std::string& dest) {
                            Write(dest, Sample(3));
                            return ::chmod(dest.c_str(), 0640) == 0;
                        },
                        false, [](const Scratch&, const std::string& dest) { EXPECT_EQ(0640u, Mode(dest)); }},
        DestinationCase{"setuid_not_carried",
                        [](const Scratch&, std::string& dest) {
                            Write(dest, Sample(3));
                            return ::chmod(dest.c_str(), 06755) == 0;
                        },
                        false, [](const Scratch&, const std::string& dest) { EXPECT_EQ(0755u, Mode(dest)); }},
        // Another user's file, writable through a group the caller is in:
        // the group and its bits stay.
        DestinationCase{"group_kept",
                        [](const Scratch& s, std::string& dest) { return OthersFile(s, dest, kMemberGroup, 0660); },
                        false,
                        [](const Scratch&, const std::string& dest) {
                            EXPECT_EQ(0660u, Mode(dest));
                            EXPECT_EQ(kMemberGroup, GroupOf(dest));
                        },
                        true},
        // Writable by all, of a group the caller is not in: the caller's
        // group gets none of that group's bits.
        DestinationCase{"group_not_kept",
                        [](const Scratch& s, std::string& dest) { return OthersFile(s, dest, 4444, 0666); },
                        false,
                        [](const Scratch&, const std::string& dest) {
                            EXPECT_EQ(0606u, Mode(dest));
                            EXPECT_EQ(65534u, GroupOf(dest));
                        },
                        true},
        // Root keeps another user's file theirs.
        DestinationCase{"others_file_stays_theirs",
                        [](const Scratch& s, std::string& dest) { return OthersFile(s, dest, 4444, 0640); },
                        false,
                        [](const Scratch&, const std::string& dest) {
                            EXPECT_EQ(4343u, OwnerOf(dest));
                            EXPECT_EQ(4444u, GroupOf(dest));
                            EXPECT_EQ(0640u, Mode(dest));
                        }},
        // A new file gets the process's umask, which stays as it was.
        DestinationCase{"new_file_under_the_umask",
                        [](const Scratch&, std::string&) {
                            ::umask(027);
                            return true;
                        },
                        false,
                        [](const Scratch&, const std::string& dest) {
                            EXPECT_EQ(027u, CurrentUmask());
                            ::umask(022);
                            EXPECT_EQ(0640u, Mode(dest));
                        }},
        // Another user's file the caller may not write, though the folder
        // is: refused, and only the permission check can tell.
        DestinationCase{"others_file_not_writable",
                        [](const Scratch& s, std::string& dest) { return OthersFile(s, dest, 4444, 0644); },
                        true, NoCheck, true}
#endif
        ),
    [](const auto& info) { return std::string(info.param.label); });

// The closing 100 % report goes to the handler the operation started with,
// whatever that handler did to Progress on the way.
TEST(DesFiles, TheClosingReportGoesToTheStartingHandler) {
    Scratch scratch;
    Write(scratch.Path("src"), Sample(4000));
    for (const bool decrypt : {false, true}) {
        for (const bool replace : {false, true}) {
            clsDES des;
            if (decrypt) des.EncryptFile(scratch.Path("src"), scratch.Path("sealed"), "k");
            std::vector<std::int32_t> seen;
            des.Progress = [&](std::int32_t& percent) {
                seen.push_back(percent);
                if (replace) {
                    des.Progress = [](std::int32_t&) {};
                } else {
                    des.Progress = nullptr;
                }
            };
            if (decrypt) {
                des.DecryptFile(scratch.Path("sealed"), scratch.Path("dst"), "k");
            } else {
                des.EncryptFile(scratch.Path("src"), scratch.Path("dst"), "k");
            }
            ASSERT_FALSE(seen.empty());
            EXPECT_EQ(100, seen.back()) << replace << decrypt;
        }
    }
}

TEST(DesStrings, LengthsFollowTheContainer) {
    Recorder recorder;
    clsDES des(recorder.Box());
    for (const auto& [length, size] : std::vector<std::pair<std::size_t, std::size_t>>{
             {1, 16}, {4, 16}, {5, 24}, {12, 24}, {13, 32}, {20, 32}}) {
        const std::string text(length, 'x');
        const std::string sealed = des.EncryptString(text, "string key");
        EXPECT_EQ(size, sealed.size()) << length;
        EXPECT_EQ(text, des.DecryptString(sealed, "string key")) << length;
    }
    EXPECT_TRUE(recorder.shown.empty());
}

TEST(DesStrings, AnyByteSurvivesAndEqualTextsGiveDifferentResults) {
    clsDES des;
    std::string text;
    for (int c = 0; c < 256; ++c) text.push_back(static_cast<char>(c));
    const std::string a = des.EncryptString(text, "k");
    const std::string b = des.EncryptString(text, "k");
    EXPECT_NE(a, b);
    EXPECT_EQ(text, des.DecryptString(a, "k"));
    EXPECT_EQ(text, des.DecryptString(b, "k"));
}

TEST(DesStrings, EmptyTextReturnsAtOnceWithoutApplyingTheKey) {
    Recorder recorder;
    clsDES des(recorder.Box());
    des.Key("kept");
    EXPECT_EQ("", des.EncryptString("", "ignored"));
    EXPECT_EQ("", des.DecryptString("", "ignored"));
    const std::string sealed = des.EncryptString("abc");  // still under "kept"
    EXPECT_EQ("abc", des.DecryptString(sealed, "kept"));
    EXPECT_TRUE(recorder.shown.empty());
}

TEST(DesStrings, FailuresShowTheMessageAndReturnEmpty) {
    Recorder recorder;
    clsDES des(recorder.Box());
    EXPECT_EQ("", des.DecryptString("12345678", "k"));
    ASSERT_EQ(1u, recorder.shown.size());
    EXPECT_EQ("Failed to decrypt string, err=9: Subscript out of range\r\n\r\nWill return empty string!",
              recorder.shown[0]);

    const std::string sealed = des.EncryptString("secret text", "right");
    EXPECT_EQ("", des.DecryptString(sealed, "wrong"));
    ASSERT_EQ(2u, recorder.shown.size());
    EXPECT_EQ("Failed to decrypt string, err=-2147221504: Incorrect size descriptor in DES "
              "decryption\r\n\r\nWill return empty string!",
              recorder.shown[1]);

    EXPECT_EQ("", des.DecryptString(sealed, "wrong", false));
    EXPECT_EQ(2u, recorder.shown.size()) << "bDispErrMsg false shows nothing";
}

// Whatever fails inside a string operation, the caller gets "" and the
// box, never an exception: the program's errors, a handler's foreign
// exceptions and a failing random source alike.
struct StringFailure {
    const char* label;
    bool decrypt;
    std::function<void(clsDES&)> arrange;
    const char* message;  // after "Failed to ... string, err="
};

class DesStringFailures : public ::testing::TestWithParam<StringFailure> {};

TEST_P(DesStringFailures, EndInTheBoxAndAnEmptyResult) {
    const StringFailure& c = GetParam();
    Recorder recorder;
    clsDES des(recorder.Box());
    const std::string sealed = des.EncryptString("some secret text", "k");
    c.arrange(des);
    EXPECT_EQ("", c.decrypt ? des.DecryptString(sealed, "k") : des.EncryptString("abc", "k"));
    ASSERT_EQ(1u, recorder.shown.size());
    EXPECT_EQ(std::string(c.decrypt ? "Failed to decrypt string, err=" : "Failed to encrypt string, err=") +
                  c.message + "\r\n\r\nWill return empty string!",
              recorder.shown[0]);
}

INSTANTIATE_TEST_SUITE_P(
    Failures, DesStringFailures,
    ::testing::Values(
        StringFailure{"program_error", false,
                      [](clsDES& d) { d.Progress = [](std::int32_t&) { throw AppError(7, "Out of memory"); }; },
                      "7: Out of memory"},
        StringFailure{"standard_exception", false,
                      [](clsDES& d) {
                          d.Progress = [](std::int32_t&) { throw std::runtime_error("handler broke"); };
                      },
                      "51: Internal error (handler broke)"},
        StringFailure{"exception_of_any_type", true,
                      [](clsDES& d) { d.Progress = [](std::int32_t&) { throw 3.5; }; },
                      "51: Internal error"},
        StringFailure{"out_of_memory_in_a_handler", true,
                      [](clsDES& d) { d.Progress = [](std::int32_t&) { throw std::bad_alloc(); }; },
                      "7: Out of memory"},
        StringFailure{"random_source_fails", false,
                      [](clsDES& d) {
                          clsDESTestAccess::SetSaltSource(d, []() -> std::uint32_t {
                              throw std::runtime_error("no entropy");
                          });
                      },
                      "51: Internal error (random source: no entropy)"}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(DesContainerSalt, FailingRandomSourceChangesNothing) {
    clsDES des;
    clsDESTestAccess::SetSaltSource(des, []() -> std::uint32_t { throw std::runtime_error("none"); });
    Bytes bytes = Sample(21);
    try {
        des.EncryptByte(bytes, "k");
        ADD_FAILURE() << "encrypted without salt";
    } catch (const AppError& e) {
        EXPECT_EQ(errnum::kInternalError, e.Number());
    }
    EXPECT_EQ(Sample(21), bytes);
}

}  // namespace
}  // namespace portquell
