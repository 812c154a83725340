// The real custcent command, run as a user runs it.
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

namespace fs = std::filesystem;

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
};

std::string readFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void writeFile(const fs::path& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

class Custcent : public ::testing::Test {
protected:
    void SetUp() override
    {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ = fs::path(::testing::TempDir()) / ("custcent-" + std::string(info->name()) + "-" +
                                                 std::to_string(::getpid()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    // Runs custcent in the test's own directory with these arguments (each
    // passed as one word) and this standard input.
    Outcome custcent(const std::vector<std::string>& args, const std::string& input = {})
    {
        writeFile(dir_ / "stdin", input);
        std::string command = "cd '" + dir_.string() + "' && '" CUSTCENT_PATH "'";
        for (const std::string& arg : args) {
            command += " '";
            for (char c : arg)
                command += c == '\'' ? std::string("'\\''") : std::string(1, c);
            command += "'";
        }
        command += " <stdin >stdout 2>stderr";
        int raw = std::system(command.c_str());
        Outcome run;
        run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        run.out = readFile(dir_ / "stdout");
        run.err = readFile(dir_ / "stderr");
        return run;
    }

    fs::path dir_;
};

const std::vector<std::string> kWorkedExample = {"calc",  "--bwt", "3400", "--gest", "280", "--wt", "64", "--ht",
                                                 "163",   "--sex", "1",    "--eth",  "1",   "--par", "0"};

std::vector<std::string> with(std::vector<std::string> args, const std::string& option, const std::string& value)
{
    for (std::size_t i = 0; i + 1 < args.size(); ++i)
        if (args[i] == option) {
            args[i + 1] = value;
            return args;
        }
    args.push_back(option);
    args.push_back(value);
    return args;
}

TEST_F(Custcent, CalcWorkedExample)
{
    Outcome run = custcent(kWorkedExample);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "Population: United Kingdom\nCustomised centile = 38\nUnrounded centile: 38.22164104629216\n");
    EXPECT_EQ(run.err, "");
    // Weeks+days and the names give the same result.
    Outcome named = custcent({"calc", "--bwt", "3400", "--gest", "40+0", "--wt", "64", "--ht", "163", "--sex", "Male",
                          "--eth", "European", "--par", "0", "--population", "uk"});
    EXPECT_EQ(named.status, 0) << named.err;
    EXPECT_EQ(named.out, run.out);
}

TEST_F(Custcent, CalcSwedenWithNames)
{
    Outcome run = custcent({"calc", "--population", "se", "--bwt", "3100", "--gest", "38+0", "--wt", "58", "--ht", "160",
                        "--sex", "Female", "--eth", "Bangladeshi", "--par", "2"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("Population: Sweden\nCustomised centile = 61\nUnrounded centile: 60.504"), std::string::npos)
        << run.out;
}

TEST_F(Custcent, CalcJson)
{
    std::vector<std::string> args = kWorkedExample;
    args.push_back("--json");
    Outcome run = custcent(args);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out.rfind("{\"population\": \"United Kingdom\", \"centile\": 38.22164104629216, \"rounded\": 38, "
                            "\"termWeight\": 3504.5, \"weeks\": 40, ",
                            0),
              0u)
        << run.out;
    for (const char* key : {"\"expectedWeight\": 3515.0135", "\"S\": 384.190975", "\"z\": -0.29936543"})
        EXPECT_NE(run.out.find(key), std::string::npos) << key << " in " << run.out;
}

TEST_F(Custcent, CalcBadValuesNameTheOption)
{
    struct Case {
        const char* option;
        const char* value;
    };
    for (Case c : {Case{"--wt", "abc"}, Case{"--gest", "39+9"}, Case{"--sex", "boy"}, Case{"--eth", "Maori"},
                   Case{"--par", "-1"}, Case{"--population", "Narnia"}, Case{"--bwt", "0"}}) {
        Outcome run = custcent(with(kWorkedExample, c.option, c.value));
        EXPECT_EQ(run.status, 2) << c.option;
        EXPECT_EQ(run.out, "") << c.option;
        EXPECT_EQ(run.err.rfind(std::string("custcent calc: ") + c.option + ": ", 0), 0u) << run.err;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    }
    Outcome missing = custcent({"calc", "--bwt", "3400"});
    EXPECT_EQ(missing.status, 2);
    EXPECT_NE(missing.err.find("--gest"), std::string::npos) << missing.err;
}

TEST_F(Custcent, CalcArithmeticErrorExitsWithOne)
{
    Outcome run = custcent(with(kWorkedExample, "--wt", "1e300"));
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "custcent calc: the centile cannot be computed: Overflow\n");
}

TEST_F(Custcent, HelpIsThereForEveryCommand)
{
    Outcome top = custcent({"--help"});
    EXPECT_EQ(top.status, 0);
    EXPECT_NE(top.out.find("batch"), std::string::npos);
    Outcome calc = custcent({"calc", "--help"});
    EXPECT_EQ(calc.status, 0);
    for (const char* text : {"--gest", "39+4", "4 or more", "New Zealand: 1 European", "3 Maori", "Exit status"})
        EXPECT_NE(calc.out.find(text), std::string::npos) << text;
    EXPECT_EQ(custcent({}).status, 2);  // a command is required
}

const char* const kBirths =
    "id,bwt,gest,wt,ht,sex,eth,par,population\n"
    "1,3400,280,64,163,1,1,0,\n"
    "2,3400,280,64,163,1,1,0,us\n"
    "3,,280,64,163,1,1,0,\n"
    "4,3400,280,64,163,1,1,zero,\n"
    "5,3400,280\n"
    "6,3500,280,70,165,1,1,0,New Zealand\n";

TEST_F(Custcent, BatchWritesEveryRowAndSummarises)
{
    writeFile(dir_ / "births.csv", kBirths);
    Outcome run = custcent({"batch", "births.csv", "-o", "centiles.csv"});
    EXPECT_EQ(run.status, 1);  // rows 4 and 5 have errors
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "custcent batch: 6 rows: 3 computed, 1 missing, 2 errors\n");
    std::string result = readFile(dir_ / "centiles.csv");
    std::istringstream lines(result);
    std::vector<std::string> rows;
    for (std::string line; std::getline(lines, line);)
        rows.push_back(line);
    ASSERT_EQ(rows.size(), 7u) << result;
    EXPECT_EQ(rows[0], "id,bwt,gest,wt,ht,sex,eth,par,population,centile,error");
    EXPECT_EQ(rows[1], "1,3400,280,64,163,1,1,0,,38.22164104629216,");
    EXPECT_EQ(rows[2].rfind("2,3400,280,64,163,1,1,0,us,36.79946", 0), 0u) << rows[2];
    EXPECT_EQ(rows[3], "3,,280,64,163,1,1,0,,,missing: bwt");
    EXPECT_EQ(rows[4], "4,3400,280,64,163,1,1,zero,,,Type mismatch (not a number: par)");
    EXPECT_EQ(rows[5], "5,3400,280,,,,,,,,\"malformed record at line 6: expected 9 fields, found 3\"");
    EXPECT_EQ(rows[6].rfind("6,3500,280,70,165,1,1,0,New Zealand,40.903", 0), 0u) << rows[6];
    // Nothing but the result is left in the directory.
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir_))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"births.csv", "centiles.csv", "stderr", "stdin", "stdout"}));
}

TEST_F(Custcent, BatchFromStandardInputToStandardOutput)
{
    const std::string good = "bwt,gest,wt,ht,sex,eth,par\n3400,280,64,163,1,1,0\n";
    for (std::vector<std::string> args : {std::vector<std::string>{"batch"}, {"batch", "-"}, {"batch", "-p", "uk"}}) {
        Outcome run = custcent(args, good);
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.out, "bwt,gest,wt,ht,sex,eth,par,centile,error\n3400,280,64,163,1,1,0,38.22164104629216,\n");
        EXPECT_EQ(run.err, "custcent batch: 1 rows: 1 computed, 0 missing, 0 errors\n");
    }
    Outcome sweden = custcent({"batch", "--population", "Sweden"}, "bwt,gest,wt,ht,sex,eth,par\n3100,266,58,160,0,4,2\n");
    EXPECT_EQ(sweden.status, 0) << sweden.err;
    EXPECT_NE(sweden.out.find(",60.504"), std::string::npos) << sweden.out;
}

TEST_F(Custcent, BatchRefusesAHeaderWithoutARequiredColumn)
{
    writeFile(dir_ / "centiles.csv", "an older result\n");
    Outcome run = custcent({"batch", "-o", "centiles.csv"}, "id,bwt,wt,ht,sex,eth,par\n1,3400,64,163,1,1,0\n");
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.out, "");
    EXPECT_NE(run.err.find("lacks the required column gest"), std::string::npos) << run.err;
    EXPECT_EQ(readFile(dir_ / "centiles.csv"), "an older result\n");  // untouched

    Outcome toStdout = custcent({"batch"}, "id,bwt,wt,ht,sex,eth,par\n1,3400,64,163,1,1,0\n");
    EXPECT_EQ(toStdout.status, 2);
    EXPECT_EQ(toStdout.out, "");
}

TEST_F(Custcent, BatchUsageProblems)
{
    Outcome noFile = custcent({"batch", "no-such-file.csv"});
    EXPECT_EQ(noFile.status, 2);
    EXPECT_NE(noFile.err.find("cannot open no-such-file.csv"), std::string::npos) << noFile.err;
    Outcome badPopulation = custcent({"batch", "-p", "Narnia"}, "bwt,gest,wt,ht,sex,eth,par\n");
    EXPECT_EQ(badPopulation.status, 2);
    EXPECT_EQ(badPopulation.out, "");
    Outcome noDirectory = custcent({"batch", "-o", "missing/dir/out.csv"}, "bwt,gest,wt,ht,sex,eth,par\n");
    EXPECT_EQ(noDirectory.status, 2);
    EXPECT_NE(noDirectory.err.find("cannot create"), std::string::npos) << noDirectory.err;
}

}  // namespace
