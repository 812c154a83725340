// The real custcent command, run as a user runs it.
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/numeric_text.h"
#include "tests/support/csv_records.h"

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
        dir_ = fs::path(::testing::TempDir()) /
            ("custcent-" + std::string(info->name()) + "-" + std::to_string(::getpid()));
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

const std::vector<std::string> kWorkedExample = {"calc", "--bwt", "3400", "--gest", "280", "--wt",  "64", "--ht",
                                                 "163",  "--sex", "1",    "--eth",  "1",   "--par", "0"};

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
    EXPECT_EQ(run.out,
              "Population: United Kingdom\nBirthweight: 3400 g\nGestation: 280 days (40+0)\n"
              "Booking weight: 64 kg\nHeight: 163 cm\nSex: Male (1)\nEthnic group: European (1)\n"
              "Parity: 0\nCustomised centile = 38\nUnrounded centile: 38.22164104629218\n"
              "Band: appropriate for gestational age (AGA, from the 10th to the 90th centile)\n"
              "Expected weight: 3515.01 g at 40 weeks\nFlags: none\n");
    EXPECT_EQ(run.err, "");
    // Weeks+days, units and the names give the same result.
    for (std::vector<std::string> args :
         {std::vector<std::string>{"calc", "--bwt", "3400", "--gest", "40+0", "--wt", "64", "--ht", "163", "--sex",
                                   "Male", "--eth", "European", "--par", "0", "--population", "uk"},
          {"calc", "--bwt", "3.4kg", "--gest", "280", "--wt", "64kg", "--ht", "1.63m", "--sex", "m", "--eth",
           "european", "--par", "0", "--population", "united kingdom"},
          {"calc", "--bwt", "3400g", "--gest", "40+0", "--wt", "64000g", "--ht", "1630mm", "--sex", "1", "--eth", "1",
           "--par", "0"}}) {
        Outcome named = custcent(args);
        EXPECT_EQ(named.status, 0) << named.err;
        EXPECT_EQ(named.out, run.out);
    }
}

TEST_F(Custcent, CalcSwedenWithNames)
{
    Outcome run = custcent({"calc", "--population", "se", "--bwt", "3100", "--gest", "38+0", "--wt", "58", "--ht",
                            "160", "--sex", "Female", "--eth", "Bangladeshi", "--par", "2"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("Customised centile = 61\nUnrounded centile: 60.504"), std::string::npos) << run.out;
}

TEST_F(Custcent, CalcJson)
{
    std::vector<std::string> args = kWorkedExample;
    args.push_back("--json");
    Outcome run = custcent(args);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out.rfind("{\"population\":\"United Kingdom\",\"centile\":38.22164104629218,\"rounded\":38,"
                            "\"centileText\":\"38\",\"band\":\"AGA\",\"bandLabel\":\"AGA\",\"bandWords\":",
                            0),
              0u)
        << run.out;
    for (const char* key :
         {"\"termWeight\":3504.5,\"weeks\":40,", "\"expectedWeight\":3515.0135", "\"spread\":384.190975",
          "\"z\":-0.29936543", "\"inputs\":{\"bwt\":3400,\"gestDays\":280,\"gest\":\"280 days (40+0)\","})
        EXPECT_NE(run.out.find(key), std::string::npos) << key << " in " << run.out;
    EXPECT_TRUE(run.out.ends_with("\"coefficientSetVersion\":\"5.15_UK\"}\n")) << run.out;
    // --exact: the population's method itself, digit for digit.
    args.push_back("--exact");
    Outcome exact = custcent(args);
    EXPECT_NE(exact.out.find("\"centile\":38.22164104629216,"), std::string::npos) << exact.out;
}

// What calc does with a birth that gives no centile: the reading's error on
// stderr after the command's name, nothing on stdout, and the status that
// says what kind of error it is. (The error texts themselves are every front
// end's: the parity test holds them.)
TEST_F(Custcent, CalcExitStatusesAndTheErrorLine)
{
    const struct {
        std::vector<std::string> args;
        int status;
        const char* err;
    } cases[] = {
        {{"calc", "--bwt", "3400"}, 2, "custcent calc: missing: gest, wt, ht, sex, eth, par\n"},
        {with(kWorkedExample, "--wt", ""), 2, "custcent calc: missing: wt\n"},
        {with(kWorkedExample, "--wt", "-65"), 2, "custcent calc: wt: must be a positive number, not -65\n"},
        {with(kWorkedExample, "--population", "Narnia"), 2, nullptr},
        {with(kWorkedExample, "--sga", "95"), 2, "custcent calc: sga: the 95th centile lies above lga, the 90th\n"},
        {with(kWorkedExample, "--wt", "1e300"), 1, "custcent calc: the centile cannot be computed: Overflow\n"},
        {with(with(kWorkedExample, "--gest", "40"), "--strict", "--exact"), 1,
         "custcent calc: flagged: gest below 22 weeks — weeks typed as days?\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.back());
        Outcome run = custcent(c.args);
        EXPECT_EQ(run.status, c.status) << run.err;
        EXPECT_EQ(run.out, "");
        if (c.err)
            EXPECT_EQ(run.err, c.err);
        else
            EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    }
    // Computed and flagged: status 0, the flags in the output.
    Outcome late = custcent(with(kWorkedExample, "--gest", "10000"));
    EXPECT_EQ(late.status, 0);
    EXPECT_NE(late.out.find("Customised centile = 0\n"), std::string::npos) << late.out;
    EXPECT_NE(late.out.find("Flag: gest above 45 weeks — typing mistake?\n"), std::string::npos) << late.out;
}

TEST_F(Custcent, HelpIsThereForEveryCommand)
{
    Outcome top = custcent({"--help"});
    EXPECT_EQ(top.status, 0);
    EXPECT_NE(top.out.find("batch"), std::string::npos);
    Outcome calc = custcent({"calc", "--help"});
    EXPECT_EQ(calc.status, 0);
    for (const char* text :
         {"--gest", "39+4", "4 or more", "New Zealand: 1 European", "3 Maori", "Exit status", "--exact"})
        EXPECT_NE(calc.out.find(text), std::string::npos) << text;
    EXPECT_EQ(custcent({}).status, 2);  // a command is required
    Outcome version = custcent({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_NE(version.out.find("coefficient sets 5.15_UK"), std::string::npos) << version.out;
}

const char* const kBirths = "id,bwt,gest,wt,ht,sex,eth,par,population\n"
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
    EXPECT_EQ(run.err,
              "custcent batch: 6 rows: 3 computed, 1 missing, 2 errors\n"
              "custcent batch: bands: 0 SGA (0 below the 3rd), 3 AGA, 0 LGA (0 above the 97th); 0 rows "
              "flagged\n");
    std::string result = readFile(dir_ / "centiles.csv");
    std::istringstream lines(result);
    std::vector<std::string> rows;
    for (std::string line; std::getline(lines, line);)
        rows.push_back(line);
    ASSERT_EQ(rows.size(), 7u) << result;
    EXPECT_EQ(rows[0], "id,bwt,gest,wt,ht,sex,eth,par,population,centile,error");
    EXPECT_EQ(rows[1], "1,3400,280,64,163,1,1,0,,38.22164104629218,");
    EXPECT_EQ(rows[2].rfind("2,3400,280,64,163,1,1,0,us,36.79946", 0), 0u) << rows[2];
    EXPECT_EQ(rows[3], "3,,280,64,163,1,1,0,,,missing: bwt");
    EXPECT_EQ(rows[4],
              "4,3400,280,64,163,1,1,zero,,,\"par: expected a number of previous births (0, 1, 2, ...) or \"\"4 or "
              "more\"\", not \"\"zero\"\"\"");
    EXPECT_EQ(rows[5], "5,3400,280,,,,,,,,\"malformed record at line 6: expected 9 fields, found 3\"");
    EXPECT_EQ(rows[6].rfind("6,3500,280,70,165,1,1,0,New Zealand,40.903", 0), 0u) << rows[6];
    // Nothing but the result is left in the directory.
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir_))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"births.csv", "centiles.csv", "stderr", "stdin", "stdout"}));
}

// The number printed beside the band never reads as another band: 9.98
// (small, below the 10th) is "9.9", not "10".
TEST_F(Custcent, CalcCentileNeverContradictsItsBand)
{
    Outcome run = custcent({"calc", "-p", "nz", "--bwt", "2770", "--gest", "38+4", "--wt", "64", "--ht", "163", "--sex",
                            "Male", "--eth", "Māori", "--par", "0"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("Ethnic group: Maori (3)"), std::string::npos) << run.out;
    run = custcent({"calc", "-p", "nz", "--bwt", "2770", "--gest", "38+4", "--wt", "64", "--ht", "163", "--sex", "Male",
                    "--eth", "European", "--par", "0"});
    EXPECT_NE(run.out.find("Customised centile = 9.9\nUnrounded centile: 9.98349"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("Band: small for gestational age (SGA, below the 10th centile)"), std::string::npos);
}

// A booking weight in pounds is flagged by the body mass index it gives
// with the height, and --strict refuses it.
TEST_F(Custcent, CalcFlagsAWeightInPounds)
{
    const std::vector<std::string> pounds = {"calc", "--bwt", "3400", "--gest", "280", "--wt",  "140", "--ht",
                                             "163",  "--sex", "1",    "--eth",  "1",   "--par", "0"};
    Outcome run = custcent(pounds);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("Flag: BMI 52.7 from wt and ht, above 50 — pounds?"), std::string::npos) << run.out;
    std::vector<std::string> strict = pounds;
    strict.push_back("--strict");
    run = custcent(strict);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "custcent calc: flagged: BMI 52.7 from wt and ht, above 50 — pounds?\n");
    run = custcent({"ranges"});
    EXPECT_NE(run.out.find("bmi: 12 to 50 kg/m²"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("(flags bmi_low, bmi_high)"), std::string::npos) << run.out;
}

// Options the help calls repeatable repeat, and none takes the file name
// that follows it, in whatever order they come.
TEST_F(Custcent, BatchOptionsRepeatAndLeaveTheFileAlone)
{
    writeFile(dir_ / "births.csv",
              "birthweight_g,gestation_days,wt,ht,sex,eth,par\n"
              "3400,280,64,163,1,1,0\n"
              "-99,280,64,163,1,1,0\n"
              "3400,280,64,163,1,1,x\n");
    const std::string expected = "birthweight_g,gestation_days,wt,ht,sex,eth,par,centile,band,rounded,error\n"
                                 "3400,280,64,163,1,1,0,38.22164104629218,AGA,38,\n"
                                 "-99,280,64,163,1,1,0,,,,missing: bwt\n"
                                 "3400,280,64,163,1,1,x,,,,missing: par\n";
    const std::vector<std::vector<std::string>> orders = {
        {"--map", "bwt=birthweight_g", "--map", "gest=gestation_days", "--add", "band", "--add", "rounded", "--na",
         "-99", "--na", "x", "births.csv"},
        {"births.csv", "--na", "-99,x", "--add", "band,rounded", "--map", "bwt=birthweight_g", "--map",
         "gest=gestation_days"},
        {"--add", "band", "births.csv", "--map", "gest=gestation_days", "--add", "rounded", "--na", "-99",
         "--map=bwt=birthweight_g", "--na", "x"},
        {"--na", "-99", "--na=x", "--map", "bwt=birthweight_g", "--add=band", "--add", "rounded", "--map",
         "gest=gestation_days", "births.csv"},
    };
    for (const std::vector<std::string>& order : orders) {
        std::vector<std::string> args = {"batch", "--quiet"};
        args.insert(args.end(), order.begin(), order.end());
        std::string words;
        for (const std::string& arg : order)
            words += arg + " ";
        SCOPED_TRACE(words);
        Outcome run = custcent(args);
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.out, expected);
    }
    // A second file name is still a mistake, not a value of the option before it.
    Outcome two = custcent({"batch", "--add", "band", "births.csv", "other.csv"});
    EXPECT_EQ(two.status, 2);
    EXPECT_EQ(two.out, "");
}

// -o naming something other than a regular file (a named pipe here, as
// /dev/null would be) writes into it: it is not replaced by a file.
TEST_F(Custcent, BatchIntoANamedPipeKeepsThePipe)
{
    const fs::path pipe = dir_ / "pipe";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    std::string received;
    std::thread reader([&] { received = readFile(pipe); });
    Outcome run = custcent({"batch", "-o", "pipe"}, "bwt,gest,wt,ht,sex,eth,par\n3400,280,64,163,1,1,0\n");
    if (!fs::is_fifo(pipe)) {
        reader.detach();  // it waits for a writer that will never come
        FAIL() << "the pipe was replaced: " << run.err;
    }
    reader.join();
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(received.rfind("bwt,gest,wt,ht,sex,eth,par,centile,error\n3400,280,64,163,1,1,0,38.2216", 0), 0u)
        << received;
}

TEST_F(Custcent, BatchFromStandardInputToStandardOutput)
{
    const std::string good = "bwt,gest,wt,ht,sex,eth,par\n3400,280,64,163,1,1,0\n";
    for (std::vector<std::string> args : {std::vector<std::string>{"batch"}, {"batch", "-"}, {"batch", "-p", "uk"}}) {
        Outcome run = custcent(args, good);
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.out, "bwt,gest,wt,ht,sex,eth,par,centile,error\n3400,280,64,163,1,1,0,38.22164104629218,\n");
        EXPECT_EQ(run.err,
                  "custcent batch: 1 rows: 1 computed, 0 missing, 0 errors\ncustcent batch: bands: 0 SGA "
                  "(0 below the 3rd), 1 AGA, 0 LGA (0 above the 97th); 0 rows flagged\n");
    }
    // --exact computes by the method itself: its shortest text, digit for digit.
    Outcome exact = custcent({"batch", "--exact"}, good);
    EXPECT_EQ(exact.status, 0) << exact.err;
    EXPECT_EQ(exact.out, "bwt,gest,wt,ht,sex,eth,par,centile,error\n3400,280,64,163,1,1,0,38.22164104629216,\n");
    Outcome sweden =
        custcent({"batch", "--population", "Sweden"}, "bwt,gest,wt,ht,sex,eth,par\n3100,266,58,160,0,4,2\n");
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
    EXPECT_NE(noDirectory.err.find("cannot write missing/dir/out.csv: No such file or directory"), std::string::npos)
        << noDirectory.err;
}

}  // namespace

// What a file can get wrong beyond the births themselves (malformed records,
// a NUL byte, an empty line inside, no final line break), among rows of the
// kinds every front end reads: one output row each, in order, with the
// fields it had copied.
TEST_F(Custcent, BatchBadInputsOneRowEach)
{
    std::string births = "id,bwt,gest,wt,ht,sex,eth,par,population\n"
                         "1,3400,280,,163,1,1,0,\n"
                         "2,3400,280,abc,163,1,1,0,\n"
                         "3,3400,280,nan,163,1,1,0,\n"
                         "4,3400,280,-inf,163,1,1,0,\n"
                         "5,3400,280,1e308,163,1,1,0,\n"
                         "6,3400,280,-65,163,1,1,0,\n"
                         "7,3400,0,64,163,1,1,0,\n"
                         "8,3400,10000,64,163,1,1,0,\n"
                         "9,3400,280,64,163,1,99,7,\n"
                         "10,3400,280,64,163,1,1,0,Narnia\n"
                         "11,3400,280,64,163,1,1,0,\"\n"
                         "12,3400";
    births += '\0';
    births += ",280,64,163,1,1,0,\n"
              "13,\"3400,280,64,163,1,1,0,\n"
              "\n"
              "14,3400,280,64,163,1,1,0,uk";  // no final line break
    writeFile(dir_ / "births.csv", births);
    Outcome run = custcent({"batch", "births.csv"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err.substr(0, run.err.find('\n') + 1), "custcent batch: 15 rows: 3 computed, 2 missing, 10 errors\n");
    std::vector<wrenfield::tabular::CsvRecord> rows = wrenfield::testing::readAllRecords(run.out);
    ASSERT_EQ(rows.size(), 16u) << run.out;
    // The centile's leading digits, and the error.
    const std::pair<std::string_view, std::string_view> expected[] = {
        {"", "missing: wt"},
        {"", "wt: not a number: \"abc\""},
        {"", "missing: wt"},
        {"", "wt: must be a finite number, not -inf"},
        {"", "the centile cannot be computed: Overflow"},
        {"", "wt: must be a positive number, not -65"},
        {"", "gest: must be a positive number, not 0"},
        {"-5.478096", ""},
        {"24.4252480210", ""},
        {"",
         "population: unknown population \"Narnia\"; choose \"United Kingdom\" (uk), \"United States\" (us), "
         "\"Sweden\" (se), \"New Zealand\" (nz), \"Australia\" (au)"},
        {"", "malformed record at line 12: unbalanced quote"},
        {"", std::string_view("bwt: not a number: \"3400\0\"", 26)},
        {"", "malformed record at line 14: unterminated quote"},
        {"", "malformed record at line 15: empty line"},
        {"38.221641046292", ""},
    };
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        const wrenfield::tabular::CsvRecord& row = rows[i + 1];
        SCOPED_TRACE("row " + std::to_string(i + 1));
        ASSERT_EQ(row.fields.size(), 11u);
        const auto& [centile, error] = expected[i];
        EXPECT_EQ(row.fields[9].substr(0, centile.size()), centile);
        EXPECT_EQ(row.fields[9].size() > centile.size() + 1, !centile.empty()) << row.fields[9];
        EXPECT_EQ(row.fields[10], error);
    }
    // The fields of a record are copied whatever became of it.
    EXPECT_EQ(rows[10].fields[8], "Narnia");
    EXPECT_EQ(rows[13].fields[0], "13");
    EXPECT_EQ(rows[15].fields[8], "uk");
}

namespace {

// Without the new options a file of births gives what earlier versions
// wrote (the expected files were written by the version before bands, flags
// and the vocabulary), with LF and with CR LF and a byte order mark: the same
// columns, fields, quoting and line breaks. Only the centiles may differ,
// within the batch kernel's 1e-9, since the kernel itself has changed since,
// and the rows whose outcome the one policy of every front end changed
// (negative weights and a gestation of 0 refused, every error in its words).
TEST_F(Custcent, DefaultBatchOutputIsUnchanged)
{
    for (const char* name : {"default_output", "default_output_crlf"}) {
        SCOPED_TRACE(name);
        const fs::path data = fs::path(CLI_TEST_DATA_DIR);
        const std::string expected = readFile(data / (std::string(name) + "_expected.csv"));
        const auto want = wrenfield::testing::readAllRecords(expected);
        for (const char* threads : {"1", "2"}) {
            Outcome run = custcent({"batch", (data / (std::string(name) + "_input.csv")).string(), "-j", threads});
            EXPECT_EQ(run.status, 1) << run.err;
            EXPECT_EQ(run.out.substr(0, run.out.find('\n')), expected.substr(0, expected.find('\n')));
            EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\r'),
                      std::count(expected.begin(), expected.end(), '\r'));
            const auto got = wrenfield::testing::readAllRecords(run.out);
            ASSERT_EQ(got.size(), want.size());
            const std::size_t centile = want[0].fields.size() - 2;
            for (std::size_t r = 0; r < got.size(); ++r) {
                ASSERT_EQ(got[r].fields.size(), want[r].fields.size()) << "row " << r;
                for (std::size_t f = 0; f < got[r].fields.size(); ++f) {
                    if (r > 0 && f == centile && !want[r].fields[f].empty() && !got[r].fields[f].empty())
                        EXPECT_NEAR(std::stod(got[r].fields[f]), std::stod(want[r].fields[f]), 1e-9) << "row " << r;
                    else
                        EXPECT_EQ(got[r].fields[f], want[r].fields[f]) << "row " << r << " field " << f;
                }
            }
        }
    }
}

}  // namespace
