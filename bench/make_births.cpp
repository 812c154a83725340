// Writes a CSV file of made-up births for the batch benchmarks: an id, the
// seven inputs, and a population column that mixes all five populations.
// About one row in a hundred lacks an input, as real registers do.
//
//   make_births [--plain] ROWS [SEED] > births.csv
//
// With --plain every row is just the seven inputs as plain numbers, none
// missing, without the id and population columns (the default population
// then applies).
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <string_view>

int main(int argc, char** argv)
{
    const bool plain = argc > 1 && std::string_view(argv[1]) == "--plain";
    if (plain) {
        --argc;
        ++argv;
    }
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: make_births [--plain] ROWS [SEED] > births.csv\n");
        return 2;
    }
    long rows = std::strtol(argv[1], nullptr, 10);
    unsigned long seed = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 20261207;
    if (rows < 0) {
        std::fprintf(stderr, "make_births: ROWS must be 0 or more\n");
        return 2;
    }

    static const char* const populations[] = {"United Kingdom", "United States", "Sweden", "New Zealand", "Australia"};
    static const int ethnicCodes[] = {10, 4, 27, 7, 4};
    std::mt19937_64 random(seed);
    std::normal_distribution<double> bwt(3400, 550), gest(278, 12), wt(68, 13), ht(165, 7);
    std::uniform_int_distribution<int> percent(0, 99), sex(0, 1), par(0, 4), population(0, 4), column(0, 6);

    std::string out = plain ? "bwt,gest,wt,ht,sex,eth,par\n" : "id,bwt,gest,wt,ht,sex,eth,par,population\n";
    out.reserve(1 << 20);
    for (long id = 1; id <= rows; ++id) {
        int p = plain ? 0 : population(random);
        std::uniform_int_distribution<int> eth(1, ethnicCodes[p]);
        std::string fields[7] = {
            std::to_string(std::lround(std::max(300.0, bwt(random)))),
            std::to_string(std::lround(std::min(300.0, std::max(168.0, gest(random))))),
            "",
            std::to_string(std::lround(std::max(140.0, ht(random)))),
            std::to_string(sex(random)),
            std::to_string(eth(random)),
            std::to_string(par(random)),
        };
        char weight[32];
        auto [end, error] =
            std::to_chars(weight, weight + sizeof weight, std::max(38.0, wt(random)), std::chars_format::fixed, 1);
        fields[2].assign(weight, end);
        if (percent(random) == 0 && !plain)
            fields[column(random)].clear();  // a missing input
        if (!plain)
            out += std::to_string(id) + ',';
        for (const std::string& field : fields) {
            out += field;
            out += ',';
        }
        if (plain)
            out.pop_back();
        else
            out += populations[p];
        out += '\n';
        if (out.size() > (1 << 20) - 256) {
            std::fwrite(out.data(), 1, out.size(), stdout);
            out.clear();
        }
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
}
