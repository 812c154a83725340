// Ctrl-C during a long `custcent batch` run, on the real command: it stops
// promptly even while waiting for input, ends with status 130, and leaves the
// output file as it was (no half-written file, no temporary file).
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

class BatchInterrupt : public testing::Test {
protected:
    void SetUp() override
    {
        dir_ = fs::path(testing::TempDir()) / ("custcent-interrupt-" + std::to_string(::getpid()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    // Starts `custcent batch -o out.csv -` in the test directory with a pipe
    // as its standard input; returns the pipe's writing end.
    int start()
    {
        int pipeFds[2];
        EXPECT_EQ(::pipe(pipeFds), 0);
        child_ = ::fork();
        if (child_ == 0) {
            ::dup2(pipeFds[0], STDIN_FILENO);
            ::close(pipeFds[0]);
            ::close(pipeFds[1]);
            int devNull = ::open("/dev/null", O_WRONLY);
            ::dup2(devNull, STDERR_FILENO);
            if (::chdir(dir_.c_str()) != 0)
                ::_exit(99);
            ::execl(CUSTCENT_PATH, CUSTCENT_PATH, "batch", "--threads", "2", "-o", "out.csv", "-",
                    static_cast<char*>(nullptr));
            ::_exit(98);
        }
        ::close(pipeFds[0]);
        return pipeFds[1];
    }

    // The child's exit status, or -1 if it has not ended within `limit`.
    int waitForExit(std::chrono::milliseconds limit)
    {
        auto deadline = std::chrono::steady_clock::now() + limit;
        int status = 0;
        while (std::chrono::steady_clock::now() < deadline) {
            if (::waitpid(child_, &status, WNOHANG) == child_)
                return WIFEXITED(status) ? WEXITSTATUS(status) : 200 + WTERMSIG(status);
            std::this_thread::sleep_for(10ms);
        }
        ::kill(child_, SIGKILL);
        ::waitpid(child_, &status, 0);
        return -1;
    }

    std::vector<std::string> filesLeft() const
    {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir_))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    fs::path dir_;
    pid_t child_ = -1;
};

std::string rows(int count)
{
    std::string text = "bwt,gest,wt,ht,sex,eth,par\n";
    for (int i = 0; i < count; ++i)
        text += std::to_string(2500 + i % 1500) + ",280,64,163,1,1,0\n";
    return text;
}

TEST_F(BatchInterrupt, StopsWhileWaitingForInputAndKeepsTheOlderOutput)
{
    std::ofstream(dir_ / "out.csv") << "an older result\n";
    int input = start();
    std::string text = rows(20000);
    ASSERT_EQ(::write(input, text.data(), text.size()), ssize_t(text.size()));
    // Once the temporary output file exists the command is under way (and
    // watching for Ctrl-C); it has all the input and waits for more.
    auto deadline = std::chrono::steady_clock::now() + 20s;
    while (filesLeft().size() < 2 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(10ms);
    ASSERT_EQ(filesLeft().size(), 2u) << "the command did not start its output";
    std::this_thread::sleep_for(200ms);
    ASSERT_EQ(::kill(child_, SIGINT), 0);
    int status = waitForExit(10000ms);
    ::close(input);
    EXPECT_EQ(status, 128 + SIGINT);
    EXPECT_EQ(filesLeft(), std::vector<std::string>{"out.csv"});
    std::ifstream older(dir_ / "out.csv");
    std::string line;
    std::getline(older, line);
    EXPECT_EQ(line, "an older result");
}

TEST_F(BatchInterrupt, WithoutASignalTheOutputAppearsWhenComplete)
{
    int input = start();
    std::string text = rows(5000);
    ASSERT_EQ(::write(input, text.data(), text.size()), ssize_t(text.size()));
    ::close(input);
    EXPECT_EQ(waitForExit(20000ms), 0);
    EXPECT_EQ(filesLeft(), std::vector<std::string>{"out.csv"});
    std::ifstream out(dir_ / "out.csv");
    std::size_t lines = 0;
    for (std::string line; std::getline(out, line);)
        ++lines;
    EXPECT_EQ(lines, 5001u);
}

}  // namespace
