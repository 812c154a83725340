#include "platform/replacing_file.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <system_error>

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
            const std::string piece = i % 7 == 0 ? std::string(20000 + i, static_cast<char>('a' + i % 26))
                                                 : std::to_string(i) + ",";
            file.stream() << piece;
            expected += piece;
            if (i == 1500)
                EXPECT_EQ(contents(path_), "old\n");
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
