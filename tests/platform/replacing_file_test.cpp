#include "platform/replacing_file.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <array>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <system_error>
#include <vector>

namespace wrenfield {
namespace {

std::string contents(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Files in a directory, "." and ".." aside.
int entries(const std::string& directory)
{
    int count = 0;
    DIR* dir = ::opendir(directory.c_str());
    while (const dirent* entry = ::readdir(dir))
        count += std::string(entry->d_name) != "." && std::string(entry->d_name) != "..";
    ::closedir(dir);
    return count;
}

class ReplacingFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char name[] = "/tmp/replacing-file-XXXXXX";
        directory_ = ::mkdtemp(name);
        path_ = directory_ + "/out.csv";
        std::ofstream(path_) << "old\n";
    }
    void TearDown() override { std::system(("rm -rf " + directory_).c_str()); }

    std::string directory_;
    std::string path_;
};

// Large and small writes in any mix reach the file whole and in order, past
// several requests to begin writing back; the old file stays until commit().
TEST_F(ReplacingFileTest, CommitReplacesTheFileWithEverythingWritten)
{
    std::string expected;
    {
        ReplacingFile file(path_);
        for (int i = 0; i < 3000; ++i) {
            const std::string piece =
                i % 7 == 0 ? std::string(20000 + i, static_cast<char>('a' + i % 26)) : std::to_string(i) + ",";
            file.stream() << piece;
            expected += piece;
            if (i == 1500) {
                EXPECT_EQ(contents(path_), "old\n");
            }
        }
        file.commit();
    }
    EXPECT_GT(expected.size(), std::size_t{8} << 20);
    EXPECT_TRUE(contents(path_) == expected);
    EXPECT_EQ(entries(directory_), 1);  // no temporary file left
}

TEST_F(ReplacingFileTest, WithoutCommitTheOldFileStaysAndNothingIsLeft)
{
    {
        ReplacingFile file(path_);
        file.stream() << std::string(100000, 'x');
    }
    EXPECT_EQ(contents(path_), "old\n");
    EXPECT_EQ(entries(directory_), 1);
}

// ---- What the target was stays true of the new file

// An access control list as the system keeps it in the file's extended
// attribute: a version, then (tag, permissions, id) entries.
std::string aclAttribute(std::initializer_list<std::array<unsigned, 3>> entries)
{
    std::string blob;
    auto put = [&blob](unsigned value, int bytes) {
        for (int i = 0; i < bytes; ++i)
            blob += static_cast<char>((value >> (8 * i)) & 0xFF);
    };
    put(2, 4);
    for (const auto& [tag, permissions, id] : entries) {
        put(tag, 2);
        put(permissions, 2);
        put(id, 4);
    }
    return blob;
}

std::string attribute(const std::string& path, const char* name)
{
    char value[256];
    const ssize_t size = ::getxattr(path.c_str(), name, value, sizeof value);
    return size < 0 ? std::string() : std::string(value, static_cast<std::size_t>(size));
}

void replace(const std::string& path, const std::string& text)
{
    ReplacingFile file(path);
    file.stream() << text;
    file.commit();
}

// Private results stay private: the mode, the group and the access control
// list of the file replaced are the new file's, whatever the umask says.
TEST_F(ReplacingFileTest, KeepsTheModeGroupAndAccessListOfTheFileItReplaces)
{
    const mode_t umask = ::umask(022);
    struct Case {
        const char* name;
        mode_t mode;
        bool otherGroup;  // a group other than the creator's (needs root to set)
        bool acl;
    } cases[] = {
        {"owner only", 0600, false, false},
        {"group may read, group daemon", 0640, true, false},
        {"set-group-id and sticky bits", 02750, false, false},
        {"an access list naming another user", 0640, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::ofstream(path_) << "old\n";
        ASSERT_EQ(::chmod(path_.c_str(), c.mode), 0);
        gid_t group = ::getegid();
        if (c.otherGroup) {
            if (::geteuid() != 0)
                continue;  // only root gives a file to a group it is not in
            group = 1;     // daemon
            ASSERT_EQ(::chown(path_.c_str(), static_cast<uid_t>(-1), group), 0);
            ASSERT_EQ(::chmod(path_.c_str(), c.mode), 0);
        }
        std::string acl;
        if (c.acl) {
            // user::rw- user:daemon:r-- group::r-- mask::r-- other::---
            acl = aclAttribute({{0x01, 6, 0xFFFFFFFF},
                                {0x02, 4, 1},
                                {0x04, 4, 0xFFFFFFFF},
                                {0x10, 4, 0xFFFFFFFF},
                                {0x20, 0, 0xFFFFFFFF}});
            if (::setxattr(path_.c_str(), "system.posix_acl_access", acl.data(), acl.size(), 0) != 0)
                continue;  // a file system without access lists
        }
        struct stat before {};
        ASSERT_EQ(::stat(path_.c_str(), &before), 0);

        replace(path_, "new\n");

        struct stat after {};
        ASSERT_EQ(::stat(path_.c_str(), &after), 0);
        EXPECT_EQ(contents(path_), "new\n");
        EXPECT_EQ(after.st_mode & 07777, before.st_mode & 07777);
        EXPECT_EQ(after.st_gid, group);
        EXPECT_EQ(after.st_uid, before.st_uid);
        EXPECT_EQ(attribute(path_, "system.posix_acl_access"), acl);
        EXPECT_EQ(entries(directory_), 1);
        std::remove(path_.c_str());
    }
    // A new file gets what the umask leaves.
    ::umask(027);
    replace(path_, "new\n");
    struct stat created {};
    ASSERT_EQ(::stat(path_.c_str(), &created), 0);
    EXPECT_EQ(created.st_mode & 07777, 0640u);
    ::umask(umask);
}

// Writing through a symbolic link replaces the file it leads to, and the
// link stays a link; so through a chain of links, relative or absolute.
TEST_F(ReplacingFileTest, WritesThroughSymbolicLinksToTheirTarget)
{
    ASSERT_EQ(::mkdir((directory_ + "/real").c_str(), 0700), 0);
    const std::string target = directory_ + "/real/results.csv";
    std::ofstream(target) << "old\n";
    ASSERT_EQ(::symlink("real/results.csv", (directory_ + "/relative").c_str()), 0);
    ASSERT_EQ(::symlink((directory_ + "/relative").c_str(), (directory_ + "/chain").c_str()), 0);
    for (const char* link : {"/relative", "/chain"}) {
        SCOPED_TRACE(link);
        replace(directory_ + link, std::string("through ") + link + "\n");
        struct stat status {};
        ASSERT_EQ(::lstat((directory_ + link).c_str(), &status), 0);
        EXPECT_TRUE(S_ISLNK(status.st_mode));
        EXPECT_EQ(contents(target), std::string("through ") + link + "\n");
        EXPECT_EQ(entries(directory_ + "/real"), 1);
    }
    // A link to nothing yet: writing through it makes the file it names.
    ASSERT_EQ(::symlink("real/later.csv", (directory_ + "/dangling").c_str()), 0);
    replace(directory_ + "/dangling", "made\n");
    EXPECT_EQ(contents(directory_ + "/real/later.csv"), "made\n");
}

// ---- Failures

// The run's last write meets a full disk: commit() fails with the system's
// own reason, the old file stays whole and no temporary file is left. Two
// ways of filling it: a small memory file system (as root), and the file
// size limit (`ulimit -f`), which fails writes with "File too large".
TEST_F(ReplacingFileTest, AFullDiskFailsWithTheSystemsReasonAndKeepsTheOldFile)
{
    struct Case {
        const char* name;
        int error;
    } cases[] = {{"a full file system", ENOSPC}, {"the file size limit", EFBIG}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string directory = directory_;
        struct rlimit limit {};
        ::getrlimit(RLIMIT_FSIZE, &limit);
        const struct rlimit former = limit;
        if (c.error == ENOSPC) {
            directory = directory_ + "/small";
            ::mkdir(directory.c_str(), 0700);
            if (::geteuid() != 0 || ::mount("tmpfs", directory.c_str(), "tmpfs", 0, "size=256k") != 0) {
                ::rmdir(directory.c_str());
                continue;  // no file system of our own to fill
            }
        } else {
            std::signal(SIGXFSZ, SIG_IGN);
            limit.rlim_cur = 256 * 1024;
            ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limit), 0);
        }
        const std::string path = directory + "/out.csv";
        std::ofstream(path) << "old\n";
        try {
            ReplacingFile file(path);
            file.stream() << std::string(1 << 20, 'x');
            file.commit();
            ADD_FAILURE() << "commit() succeeded on a full disk";
        } catch (const std::system_error& error) {
            EXPECT_EQ(error.code().value(), c.error);
            EXPECT_NE(std::string(error.what()).find(std::strerror(c.error)), std::string::npos) << error.what();
            EXPECT_NE(std::string(error.what()).find(path), std::string::npos) << error.what();
        }
        EXPECT_EQ(contents(path), "old\n");
        EXPECT_EQ(entries(directory), 1);
        if (c.error == ENOSPC) {
            ::umount(directory.c_str());
            ::rmdir(directory.c_str());
        } else
            ::setrlimit(RLIMIT_FSIZE, &former);
    }
}

// ---- Temporary files left by others

// A process that died outright (SIGKILL, the out-of-memory killer) left its
// temporary file: the next file written into the directory removes it. Only
// such a file: never one of a live process, another user's, a link, a
// directory, or a name of another form.
TEST_F(ReplacingFileTest, TemporaryFilesOfDeadProcessesAreRemovedOthersNever)
{
    const pid_t dead = ::fork();
    if (dead == 0)
        ::_exit(0);
    ::waitpid(dead, nullptr, 0);
    const std::string deadPid = std::to_string(dead);
    const std::string livePid = std::to_string(::getppid());
    const std::vector<std::string> removed = {".out.csv.tmp-" + deadPid + "-0", ".registry.tmp-" + deadPid + "-12"};
    const std::vector<std::string> kept = {".out.csv.tmp-" + livePid + "-0", "out.csv.tmp-" + deadPid + "-0",
                                           ".out.csv.tmp-" + deadPid, ".out.csv.tmp-" + deadPid + "-x",
                                           ".out.csv.part-" + deadPid + "-0"};
    for (const std::string& name : removed)
        std::ofstream(directory_ + "/" + name) << "partial rows\n";
    for (const std::string& name : kept)
        std::ofstream(directory_ + "/" + name) << "someone else's\n";
    const std::string link = ".link.tmp-" + deadPid + "-0";
    const std::string folder = ".folder.tmp-" + deadPid + "-0";
    ASSERT_EQ(::symlink("out.csv", (directory_ + "/" + link).c_str()), 0);
    ASSERT_EQ(::mkdir((directory_ + "/" + folder).c_str(), 0700), 0);

    replace(path_, "new\n");

    for (const std::string& name : removed)
        EXPECT_NE(::access((directory_ + "/" + name).c_str(), F_OK), 0) << name;
    for (const std::string& name : kept)
        EXPECT_EQ(::access((directory_ + "/" + name).c_str(), F_OK), 0) << name;
    EXPECT_EQ(::access((directory_ + "/" + link).c_str(), F_OK), 0);
    EXPECT_EQ(::access((directory_ + "/" + folder).c_str(), F_OK), 0);
}

// A hang-up, an interrupt or a polite kill while the file is being written
// ends the process as the signal would, and takes the temporary file with
// it. Each case is a process of its own.
TEST_F(ReplacingFileTest, TerminatingSignalsRemoveTheTemporaryFile)
{
    for (int signal : {SIGHUP, SIGINT, SIGTERM}) {
        SCOPED_TRACE(strsignal(signal));
        const pid_t child = ::fork();
        if (child == 0) {
            std::signal(signal, SIG_DFL);
            ReplacingFile file(path_);
            file.stream() << std::string(100000, 'x') << std::flush;
            ::raise(signal);
            ::_exit(0);  // not reached
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << status;
        EXPECT_EQ(contents(path_), "old\n");
        EXPECT_EQ(entries(directory_), 1);
    }
}

// A device is written directly; one that refuses the data makes commit() fail.
TEST(ReplacingFileDevice, WritesDevicesDirectlyAndReportsTheirErrors)
{
    ReplacingFile null("/dev/null");
    null.stream() << std::string(1 << 20, 'x');
    EXPECT_NO_THROW(null.commit());
    if (::access("/dev/full", W_OK) == 0) {
        ReplacingFile full("/dev/full");
        full.stream() << std::string(1 << 20, 'x');
        EXPECT_THROW(full.commit(), std::system_error);
    }
}

}  // namespace
}  // namespace wrenfield
