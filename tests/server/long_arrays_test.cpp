// Long arrays are computed and written in parts, shared with helper threads.
// The parts must join into the answer one thread would give: every birth
// once, in its place, byte for byte what it gets when posted alone, whatever
// the array's length around the part boundaries. And the helpers must run
// every part once, hand back a part's exception, and serve many requests at
// once.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <atomic>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "server/answer_room.h"
#include "server/api.h"
#include "server/shared_work.h"

namespace wrenfield::server {
namespace {

// A birth of its own for each index: all five populations, some refused,
// some flagged, some missing a field.
std::string birthText(int i)
{
    const char* populations[] = {"uk", "us", "se", "nz", "au"};
    if (i % 97 == 13)
        return R"({"bwt": "heavy", "gest": 280, "wt": 64, "ht": 163, "sex": 1, "eth": 1, "par": 0})";
    if (i % 89 == 7)
        return "42";
    if (i % 83 == 5)
        return R"({"bwt": 3400, "gest": 280, "wt": 64, "ht": 163, "sex": 1, "eth": 1})";
    char text[256];
    std::snprintf(
        text, sizeof text,
        R"({"population": "%s", "bwt": %d, "gest": %d, "wt": %.1f, "ht": %d, "sex": %d, "eth": 1, "par": %d})",
        populations[i % 5], 400 + (i * 37) % 5200, 168 + (i * 7) % 140, 35 + (i % 90) * 1.5, 140 + i % 50, i % 2,
        i % 6);
    return text;
}

Response post(const std::string& body)
{
    return respond({"POST", "/v1/centile", "application/json", body});
}

TEST(LongArrays, EveryBirthInItsPlaceAsWhenPostedAlone)
{
    // Lengths on either side of the size of a part, and the most allowed.
    for (const int count : {999, 1000, 1001, 2999, 10000}) {
        SCOPED_TRACE(count);
        std::string body = "[";
        for (int i = 0; i < count; ++i)
            body += (i ? "," : "") + birthText(i);
        body += "]";
        const Response answer = post(body);
        ASSERT_EQ(answer.status, 200) << answer.body.substr(0, 300);
        const auto results = nlohmann::json::parse(answer.body);
        ASSERT_EQ(results.size(), static_cast<std::size_t>(count));
        // Every birth near a part's edge, and a sample of the rest, posted alone.
        for (int i = 0; i < count; ++i) {
            const bool nearEdge = i % 1000 < 2 || i % 1000 > 997 || i == count - 1;
            if (!nearEdge && i % 61 != 0)
                continue;
            const Response alone = post(birthText(i));
            if (alone.status == 200)
                ASSERT_EQ(nlohmann::json::parse(alone.body), results[static_cast<std::size_t>(i)]) << i;
            else
                ASSERT_TRUE(results[static_cast<std::size_t>(i)].contains("error")) << i;
        }
    }
}

// Births that set no option of their own share the query's options, worked
// out once a request; each must still get what it gets when posted alone
// with the same query, beside births that set their own and whatever the
// population named before it.
TEST(LongArrays, BirthsWithAndWithoutOptionsOfTheirOwn)
{
    const std::string births[] = {
        R"({"population": "se", "bwt": 3.4, "gest": 280, "wt": 64, "ht": 163, "sex": 1, "eth": 1, "par": 0})",
        R"({"population": "se", "bwt": 3400, "bwtUnit": "g", "gest": 280, "wt": 64, "ht": 163, "sex": 1, "eth": 1, "par": 0})",
        R"({"population": "nz", "bwt": 2.9, "gest": 270, "wt": 70, "ht": 170, "sex": 0, "eth": 1, "par": 1})",
        R"({"population": "se", "sga": 20, "bwt": 2.9, "gest": 270, "wt": 70, "ht": 170, "sex": 0, "eth": 1, "par": 1})",
        R"({"bwt": 2.1, "gest": 280, "wt": 64, "ht": 163, "sex": 1, "eth": 1, "par": 0})",
        R"({"population": "Narnia", "bwt": 3.4, "gest": 280, "wt": 64, "ht": 163, "sex": 1, "eth": 1, "par": 0})",
        R"({"population": "se", "bwt": 3.4, "gest": 280, "wt": 64, "ht": 163, "sex": 1, "eth": 1, "par": 0})",
    };
    for (const char* query : {"", "?bwtUnit=kg&sga=5", "?bwtUnit=kg&population=au", "?bwtUnit=cm", "?sga=95"}) {
        SCOPED_TRACE(query);
        const std::string target = std::string("/v1/centile") + query;
        std::string body = "[";
        for (const std::string& birth : births)
            body += (body.size() > 1 ? "," : "") + birth;
        body += "]";
        const Response answer = respond({"POST", target, "application/json", body});
        ASSERT_EQ(answer.status, 200) << answer.body;
        const auto results = nlohmann::json::parse(answer.body);
        for (std::size_t i = 0; i < std::size(births); ++i) {
            const Response alone = respond({"POST", target, "application/json", births[i]});
            if (alone.status == 200) {
                EXPECT_EQ(nlohmann::json::parse(alone.body), results[i]) << i;
            } else {
                const auto problem = nlohmann::json::parse(alone.body);
                EXPECT_EQ(problem["detail"], results[i]["error"]) << i << " " << alone.body;
            }
        }
    }
}

// An array's records are written one after another into each part, each
// with the birth's id first: byte for byte the record each birth gets when
// posted alone, plainly read or flagged, under every option of the query.
TEST(LongArrays, RecordsAndTheirIdsByteForByteAsAlone)
{
    const std::string births[] = {
        R"({"id": "a1", "population": "uk", "bwt": 3400, "gest": 280, "wt": 64.5, "ht": 165, "sex": 1, "eth": 1, "par": 0})",
        R"({"id": 17, "population": "se", "bwt": 2.9, "bwtUnit": "kg", "gest": 270, "wt": 70, "ht": 170, "sex": 0, "eth": 1, "par": 1})",
        R"({"id": ""q" été", "population": "nz", "bwt": 600, "gest": 300, "wt": 150, "ht": 120, "sex": 1, "eth": 1, "par": 0})",
        R"({"id": -5, "bwt": 3100, "gest": 275, "wt": 60, "ht": 160, "sex": 0, "eth": 2, "par": 3})",
        R"({"population": "au", "bwt": 3612, "gest": 281, "wt": 58, "ht": 158, "sex": 1, "eth": 1, "par": 1})",
        R"({"id": null, "population": "us", "bwt": 5200, "gest": 250, "wt": 40, "ht": 140, "sex": 0, "eth": 1, "par": 9})",
    };
    for (const char* query : {"", "?strict=true", "?sga=5&lga=95", "?exact=true", "?population=se"}) {
        SCOPED_TRACE(query);
        const std::string target = std::string("/v1/centile") + query;
        std::string body = "[";
        std::string expected = "[";
        std::size_t included = 0;
        for (const std::string& birth : births) {
            const Response alone = respond({"POST", target, "application/json", birth});
            if (alone.status != 200)
                continue;  // a refused birth alone is a problem document, not its record
            ++included;
            body += (body.size() > 1 ? "," : "") + birth;
            expected += (expected.size() > 1 ? "," : "") + alone.body;
        }
        const Response answer = respond({"POST", target, "application/json", body + "]"});
        ASSERT_EQ(answer.status, 200) << answer.body;
        EXPECT_EQ(answer.body, expected + "]");
        EXPECT_GE(included, std::size(births) - 2);  // at most the flagged births refused under strict
    }
}

// The texts of an answer sent are kept as room for the next: an answer
// written over the longer records of another is the one written afresh,
// and the room kept is bounded.
TEST(LongArrays, AnswersWrittenOverTheRoomOfOthersAsAfresh)
{
    const auto parts = [](const std::string& body, const char* target) {
        Response answer = respondInParts({"POST", target, "application/json", body});
        std::vector<std::string> texts{std::move(answer.body)};
        for (std::string& part : answer.more)
            texts.push_back(std::move(part));
        return texts;
    };
    std::string shortRecords = "[";  // refused births: short records of errors
    std::string longRecords = "[";
    for (int i = 0; i < 3000; ++i) {
        shortRecords += (i ? "," : "") + std::string(R"({"bwt": 3400})");
        longRecords += (i ? "," : "") + birthText(i);
    }
    shortRecords += "]";
    longRecords += "]";
    for (std::string_view target : {"/v1/centile", "/v1/centile?sga=3"}) {
        const std::vector<std::string> afresh[] = {parts(shortRecords, target.data()),
                                                   parts(longRecords, target.data())};
        for (int round = 0; round < 4; ++round) {
            std::vector<std::string> sent = parts(round % 2 ? shortRecords : longRecords, target.data());
            keepAnswerRoom(sent);
            EXPECT_TRUE(sent.empty());
            for (int which = 0; which < 2; ++which)
                EXPECT_EQ(parts(which ? longRecords : shortRecords, target.data()), afresh[which])
                    << target << " " << round << " " << which;
        }
    }
    // Whatever is handed back, no more than the bound is kept, and neither
    // short texts nor overlong ones.
    for (int round = 0; round < 3; ++round) {
        std::vector<std::string> texts;
        for (int i = 0; i < 40; ++i)
            texts.emplace_back(std::size_t{1} << 20, 'x');
        texts.emplace_back(100, 'x');
        texts.emplace_back(kKeptTextBytes + 1, 'x');
        keepAnswerRoom(texts);
    }
    std::size_t kept = 0;
    // None kept is a new, empty text.
    for (std::string text = takeAnswerRoom(); !text.empty(); text = takeAnswerRoom()) {
        EXPECT_GE(text.capacity(), std::size_t{64} << 10);
        EXPECT_LE(text.capacity(), kKeptTextBytes);
        kept += text.capacity();
    }
    EXPECT_LE(kept, kKeptAnswerBytes);
    EXPECT_GT(kept, kKeptAnswerBytes / 2);
}

TEST(SharedWork, EveryPartOnceAndAFailureHandedBack)
{
    SharedWork work(3);
    for (const std::size_t parts : {std::size_t{0}, std::size_t{1}, std::size_t{2}, std::size_t{57}}) {
        std::vector<std::atomic<int>> runs(parts);
        work.run(parts, [&runs](std::size_t k) { ++runs[k]; });
        for (std::size_t k = 0; k < parts; ++k)
            EXPECT_EQ(runs[k].load(), 1) << k << " of " << parts;
    }
    std::atomic<int> finished{0};
    EXPECT_THROW(work.run(20,
                          [&finished](std::size_t k) {
                              if (k == 7)
                                  throw std::runtime_error("part 7");
                              ++finished;
                          }),
                 std::runtime_error);
    EXPECT_EQ(finished.load(), 19);  // the others still ran, and all are done before run returns

    // Many requests at once share the same helpers.
    std::vector<std::thread> requests;
    std::atomic<long> total{0};
    for (int r = 0; r < 8; ++r)
        requests.emplace_back([&] {
            for (int round = 0; round < 50; ++round)
                work.run(16, [&total](std::size_t k) { total += static_cast<long>(k); });
        });
    for (std::thread& request : requests)
        request.join();
    EXPECT_EQ(total.load(), 8L * 50 * (15 * 16 / 2));
}

}  // namespace
}  // namespace wrenfield::server
