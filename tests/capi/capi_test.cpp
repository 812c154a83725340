// The C interface: what it adds to the reading layer (error codes and
// messages in a fixed struct, flag bits, options, the lists of populations
// and groups, the vector call) and that it is safe from several threads at
// once. What a birth gets (centile, band, flags, error text) is every front
// end's; the parity test holds that.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "engine/centile_model.h"
#include "reading/births.h"
#include "wrenfield.h"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

struct Birth {
    const char* population;
    double bwt, gest, wt, ht, sex, eth, par;
};

wf_result compute(const Birth& b)
{
    wf_result r;
    std::memset(&r, 0x5A, sizeof r);  // nothing of the caller's may show through
    const int returned = wf_centile(b.population, b.bwt, b.gest, b.wt, b.ht, b.sex, b.eth, b.par, &r);
    EXPECT_EQ(returned, r.error);
    return r;
}

TEST(CApi, TheReadingOfEveryPopulationByNameOrAlias)
{
    struct Case {
        const char* name;
        wrenfield::engine::Population population;
    };
    using wrenfield::engine::Population;
    const Case cases[] = {{"United Kingdom", Population::UnitedKingdom},
                          {"us", Population::UnitedStates},
                          {"SE", Population::Sweden},
                          {"New Zealand", Population::NewZealand},
                          {"au", Population::Australia}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const wf_result r = compute({c.name, 3100, 275, 70, 168, 2, 2, 1});
        const auto reading = wrenfield::reading::readValues(c.population, {3100, 275, 70, 168, 2, 2, 1});
        ASSERT_EQ(r.error, WF_OK) << r.message;
        EXPECT_EQ(r.centile, reading.centile());  // the same reading, to the bit
        EXPECT_EQ(r.z, reading.detail.z);
        EXPECT_EQ(r.expected_weight, reading.detail.expected);
        EXPECT_EQ(r.weeks, reading.detail.weeks);
        EXPECT_STREQ(r.message, "");
        // exact: the population's method itself, to the bit.
        wf_options exact = WF_OPTIONS_INIT;
        exact.exact = 1;
        wf_result method;
        ASSERT_EQ(wf_centile_with(&exact, c.name, 3100, 275, 70, 168, 2, 2, 1, &method), WF_OK);
        EXPECT_EQ(method.centile,
                  wrenfield::engine::computeCentile(c.population, {3100, 275, 70, 168, 2, 2, 1}).centile);
    }
}

TEST(CApi, BandsAndFlagsComeFromTheReadingOfTheResult)
{
    struct Case {
        Birth birth;
        int band;
        unsigned flags;
        const char* text;  // a part of flag_text
    };
    const Case cases[] = {
        {{"uk", 3400, 280, 64, 163, 1, 1, 0}, WF_BAND_AGA, 0, ""},
        {{"uk", 2500, 280, 64, 163, 1, 1, 0}, WF_BAND_SGA_BELOW_3, 0, ""},
        {{"uk", 4500, 280, 64, 163, 1, 1, 0}, WF_BAND_LGA_ABOVE_97, 0, ""},
        // Weeks typed as days.
        {{"uk", 3400, 40, 64, 163, 1, 1, 0}, WF_BAND_SGA_BELOW_3, WF_FLAG_GEST_LOW, "weeks typed as days?"},
        {{"uk", 3.4, 280, 64, 163, 1, 1, 0},
         WF_BAND_SGA_BELOW_3,
         WF_FLAG_BWT_LOW | WF_FLAG_CENTILE_BELOW_0,
         "bwt below 200 g"},
        {{"uk", 3400, 280, 64, 1.63, 9, 99, 2.5},
         WF_BAND_NONE,
         WF_FLAG_HT_LOW | WF_FLAG_SEX_CODE | WF_FLAG_ETH_UNKNOWN | WF_FLAG_PAR_CODE,
         "eth 99 not a United Kingdom group"},
        {{"uk", 8000, 330, 300, 230, 1, 1, 25},
         WF_BAND_NONE,
         WF_FLAG_BWT_HIGH | WF_FLAG_GEST_HIGH | WF_FLAG_WT_HIGH | WF_FLAG_HT_HIGH | WF_FLAG_PAR_HIGH |
             WF_FLAG_CENTILE_ABOVE_100,
         "par above 20"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.birth.bwt);
        const wf_result r = compute(c.birth);
        ASSERT_EQ(r.error, WF_OK) << r.message;
        if (c.band != WF_BAND_NONE) {
            EXPECT_EQ(r.band, c.band);
        }
        EXPECT_EQ(r.flags, c.flags) << r.flag_text;
        EXPECT_NE(std::string(r.flag_text).find(c.text), std::string::npos) << r.flag_text;
        EXPECT_EQ(r.flags & WF_FLAG_OTHER, 0u) << "an engine flag without a bit: " << r.flag_text;
    }
    EXPECT_STREQ(wf_band_name(WF_BAND_SGA_BELOW_3), "SGA");
    EXPECT_STREQ(wf_band_name(WF_BAND_AGA), "AGA");
    EXPECT_STREQ(wf_band_name(WF_BAND_LGA_ABOVE_97), "LGA");
    EXPECT_STREQ(wf_band_name(WF_BAND_NONE), "");
    EXPECT_STREQ(wf_band_name(42), "");
    EXPECT_STREQ(wf_flag_name(WF_FLAG_GEST_LOW), "gest_low");
    EXPECT_STREQ(wf_flag_name(WF_FLAG_GEST_LOW | WF_FLAG_HT_LOW), "");
    EXPECT_STREQ(wf_flag_name(WF_FLAG_BMI_HIGH), "bmi_high");
    // A booking weight in pounds: credible alone, not with the height.
    const wf_result pounds = compute({"uk", 3400, 280, 140, 163, 1, 1, 0});
    EXPECT_EQ(pounds.flags, unsigned{WF_FLAG_BMI_HIGH}) << pounds.flag_text;
    EXPECT_STREQ(pounds.flag_text, "BMI 52.7 from wt and ht, above 50 — pounds?");
}

// The centile's text beside its band, and every way the call can be misused.
TEST(CApi, CentileTextBesideItsBand)
{
    const wf_result small = compute({"nz", 2770, 270, 64, 163, 1, 1, 0});  // 9.98: small
    ASSERT_EQ(small.error, WF_OK) << small.message;
    char text[16];
    EXPECT_EQ(wf_centile_text(nullptr, &small, text, sizeof text), WF_OK);
    EXPECT_STREQ(text, "9.9");
    wf_options five = WF_OPTIONS_INIT;
    five.sga = 5;
    EXPECT_EQ(wf_centile_text(&five, &small, text, sizeof text), WF_OK);
    EXPECT_STREQ(text, "10");  // appropriate above the 5th: the whole number says so
    EXPECT_EQ(wf_centile_text(nullptr, &small, text, 3), WF_ERROR_INVALID_OPTION);
    EXPECT_STREQ(text, "");
    EXPECT_EQ(wf_centile_text(nullptr, &small, nullptr, 16), WF_ERROR_NULL_POINTER);
    EXPECT_EQ(wf_centile_text(nullptr, nullptr, text, sizeof text), WF_ERROR_NULL_POINTER);
    const wf_result missing = compute({"uk", kNaN, 280, 64, 163, 1, 1, 0});
    EXPECT_EQ(wf_centile_text(nullptr, &missing, text, sizeof text), missing.error);
    EXPECT_STREQ(text, "");
    wf_options wrong = WF_OPTIONS_INIT;
    wrong.sga = 120;
    EXPECT_EQ(wf_centile_text(&wrong, &small, text, sizeof text), WF_ERROR_INVALID_OPTION);
}

TEST(CApi, RefusalsAndRunTimeErrorsLeaveNoCentile)
{
    struct Case {
        Birth birth;
        int error;
        const char* message;  // a part of it
    };
    const Case cases[] = {
        {{"uk", kNaN, 280, 64, 163, 1, 1, 0}, WF_ERROR_MISSING_INPUT, "missing: bwt"},
        {{"uk", 3400, kNaN, 64, 163, 1, 1, kNaN}, WF_ERROR_MISSING_INPUT, "missing: gest, par"},
        {{"Atlantis", 3400, 280, 64, 163, 1, 1, 0}, WF_ERROR_UNKNOWN_POPULATION, "\"Atlantis\""},
        {{nullptr, 3400, 280, 64, 163, 1, 1, 0}, WF_ERROR_NULL_POINTER, "no population"},
        {{"uk", 3400, 280, INFINITY, 163, 1, 1, 0}, WF_ERROR_INVALID_INPUT, "wt: must be a finite number, not inf"},
        {{"uk", 3400, 280, 64, 163, 1, 1, -INFINITY}, WF_ERROR_INVALID_INPUT, "par: must be a finite number, not -inf"},
        {{"uk", -3400, 280, 64, 163, 1, 1, 0}, WF_ERROR_INVALID_INPUT, "bwt: must be a positive number, not -3400"},
        {{"uk", 3400, 280, 1e300, 163, 1, 1, 0}, WF_ERROR_OVERFLOW, "the centile cannot be computed: Overflow"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        const wf_result r = compute(c.birth);
        EXPECT_EQ(r.error, c.error);
        EXPECT_NE(std::string(r.message).find(c.message), std::string::npos) << r.message;
        EXPECT_TRUE(std::isnan(r.centile));
        EXPECT_EQ(r.band, WF_BAND_NONE);
        EXPECT_EQ(r.flags, 0u);
    }
    EXPECT_EQ(wf_centile("uk", 3400, 280, 64, 163, 1, 1, 0, nullptr), WF_ERROR_NULL_POINTER);

    // Options: strict makes a flag the error (the flags still said); an
    // option that cannot be used, or a struct whose size was not set, is
    // refused for every birth.
    wf_options options = WF_OPTIONS_INIT;
    options.strict = 1;
    wf_result flagged;
    EXPECT_EQ(wf_centile_with(&options, "uk", 3400, 40, 64, 163, 1, 1, 0, &flagged), WF_ERROR_FLAGGED);
    EXPECT_STREQ(flagged.message, "flagged: gest below 22 weeks — weeks typed as days?");
    EXPECT_EQ(flagged.flags, unsigned(WF_FLAG_GEST_LOW));
    EXPECT_TRUE(std::isnan(flagged.centile));
    options = WF_OPTIONS_INIT;
    options.sga = 120;
    EXPECT_EQ(wf_centile_with(&options, "uk", 3400, 280, 64, 163, 1, 1, 0, &flagged), WF_ERROR_INVALID_OPTION);
    EXPECT_STREQ(flagged.message, "sga: must be a centile from 0 to 100, not 120");
    options.size = 0;
    EXPECT_EQ(wf_centile_with(&options, "uk", 3400, 280, 64, 163, 1, 1, 0, &flagged), WF_ERROR_INVALID_OPTION);
    // A caller of an earlier, shorter struct: the members it lacks keep their defaults.
    options = WF_OPTIONS_INIT;
    options.sga = 2;
    options.lga = 98;
    options.size = offsetof(wf_options, strict);
    options.exact = 7;  // beyond its size: not read
    wf_result moved;
    ASSERT_EQ(wf_centile_with(&options, "uk", 2600, 280, 64, 163, 1, 1, 0, &moved), WF_OK) << moved.message;
    EXPECT_EQ(moved.band, WF_BAND_SGA_BELOW_3);  // below the 2nd: the finer label moved with sga

    // A message longer than its field is cut short and still ended; never
    // within a character, wherever the field's end falls in a name of two-,
    // three- and four-byte characters.
    const std::string longName(1000, 'x');
    const wf_result r = compute({longName.c_str(), 3400, 280, 64, 163, 1, 1, 0});
    EXPECT_EQ(std::strlen(r.message), sizeof r.message - 1);
    for (const std::string character : {"\xC3\xA9", "\xE2\x80\x94", "\xF0\x9D\x84\x9E"}) {
        for (std::size_t shift = 0; shift < 4; ++shift) {
            std::string name(shift, 'x');
            while (name.size() < 400)
                name += character;
            const wf_result cut = compute({name.c_str(), 3400, 280, 64, 163, 1, 1, 0});
            const std::string message = cut.message;
            SCOPED_TRACE(message);
            EXPECT_GE(message.size(), sizeof cut.message - 4);
            // It ends with a whole character: the last lead byte has all its continuation bytes.
            std::size_t lead = message.size() - 1;
            while (lead > 0 && (static_cast<unsigned char>(message[lead]) & 0xC0) == 0x80)
                --lead;
            const unsigned char first = static_cast<unsigned char>(message[lead]);
            const std::size_t length = first < 0x80 ? 1 : first < 0xE0 ? 2 : first < 0xF0 ? 3 : 4;
            EXPECT_EQ(message.size() - lead, length);
        }
    }
}

TEST(CApi, VectorCallIsTheOneBirthCallForEachElementFromAnyThread)
{
    std::vector<double> bwt, gest, wt, ht, sex, eth, par;
    for (int i = 0; i < 200; ++i) {
        bwt.push_back(1500 + 15 * i);
        gest.push_back(250 + i % 40);
        wt.push_back(50 + i % 30);
        ht.push_back(150 + i % 35);
        sex.push_back(1 + i % 2);
        eth.push_back(1 + i % 10);
        par.push_back(i % 5);
    }
    bwt[7] = kNaN;
    wt[11] = INFINITY;
    const std::size_t n = bwt.size();
    auto run = [&](std::vector<wf_result>& out) {
        out.resize(n);
        return wf_centiles("uk", n, bwt.data(), gest.data(), wt.data(), ht.data(), sex.data(), eth.data(), par.data(),
                           out.data());
    };
    std::vector<wf_result> results;
    EXPECT_EQ(run(results), n - 2);
    for (std::size_t i = 0; i < n; ++i) {
        const wf_result one = compute({"uk", bwt[i], gest[i], wt[i], ht[i], sex[i], eth[i], par[i]});
        ASSERT_EQ(results[i].error, one.error) << i;
        if (one.error == WF_OK) {
            ASSERT_EQ(results[i].centile, one.centile) << i;
        }
    }

    std::vector<std::vector<wf_result>> perThread(4);
    std::vector<std::thread> threads;
    for (auto& out : perThread)
        threads.emplace_back([&] { run(out); });
    for (auto& thread : threads)
        thread.join();
    for (const auto& out : perThread)
        for (std::size_t i = 0; i < n; ++i)
            ASSERT_EQ(std::memcmp(&out[i], &results[i], offsetof(wf_result, message)), 0) << i;

    // Every result of an unknown population says so; NULL arrays write nothing.
    EXPECT_EQ(wf_centiles("xx", n, bwt.data(), gest.data(), wt.data(), ht.data(), sex.data(), eth.data(), par.data(),
                          results.data()),
              0u);
    EXPECT_EQ(results[n - 1].error, WF_ERROR_UNKNOWN_POPULATION);
    EXPECT_EQ(wf_centiles("uk", n, nullptr, gest.data(), wt.data(), ht.data(), sex.data(), eth.data(), par.data(),
                          results.data()),
              0u);
    EXPECT_EQ(wf_centiles("uk", 0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr), 0u);
}

TEST(CApi, VersionIsTheProjectVersion)
{
    EXPECT_STREQ(wf_version(), "1.0");
}

TEST(CApi, ListsThePopulationsAndTheirGroups)
{
    const char* names[] = {"United Kingdom", "United States", "Sweden", "New Zealand", "Australia"};
    const char* aliases[] = {"uk", "us", "se", "nz", "au"};
    for (std::size_t i = 0; i < 5; ++i) {
        EXPECT_STREQ(wf_population_name(i), names[i]);
        EXPECT_STREQ(wf_population_alias(i), aliases[i]);
        // Every group of every population, by name or alias, with the code to pass.
        const auto& set = wrenfield::engine::coefficients(static_cast<wrenfield::engine::Population>(i));
        for (const char* population : {names[i], aliases[i]}) {
            std::size_t count = 0;
            int code = -1;
            while (const char* group = wf_ethnic_group(population, count, &code)) {
                ASSERT_LT(count, set.ethnicGroups.size());
                EXPECT_EQ(group, set.ethnicGroups[count].name);
                EXPECT_EQ(code, set.ethnicGroups[count].code);
                ++count;
            }
            EXPECT_EQ(count, set.ethnicGroups.size()) << population;
        }
    }
    EXPECT_EQ(wf_population_name(5), nullptr);
    EXPECT_EQ(wf_population_alias(99), nullptr);
    EXPECT_STREQ(wf_ethnic_group("NZ", 2, nullptr), "Maori");
    EXPECT_EQ(wf_ethnic_group("Atlantis", 0, nullptr), nullptr);
    EXPECT_EQ(wf_ethnic_group(nullptr, 0, nullptr), nullptr);
}

}  // namespace
