// Seeded random sequences of clicks, as `custcent form --click` gives them:
// any list, its own entries or texts it does not hold, hosts' odd entries
// included. After a click whose handlers complete, the caption is a whole
// number in plain digits; after one that fails, it is what it was.
#include <gtest/gtest.h>

#include <random>
#include <stdexcept>
#include <string>

#include "calc_test_support.h"
#include "form/calc.h"
#include "form/calc_layout.h"

namespace wrenfield::form {
namespace {

using testing::ErrorLog;
using testing::isPlainWholeNumber;

TEST(ClickInvariant, CaptionIsAWholeNumberOrUnchanged)
{
    std::mt19937 random(20261207);
    const std::string_view lists[] = {names::Combobase, names::Comboht,  names::Combowt,
                                      names::Comboeth,  names::Combopar, names::Combogw,
                                      names::Combogd,   names::Combobwt, names::Combosex};
    // Odd entries a host may add: they read as numbers, as 0, or overflow.
    const std::string odd[] = {"", "abc", "-65", "1e308", std::string(400, '9'), "Narnia", "0", "100000"};
    int completed = 0, refused = 0, failed = 0;
    for (int sequence = 0; sequence < 40; ++sequence) {
        ErrorLog errors;
        Calc calc(errors.sink());
        for (int click = 0; click < 30; ++click) {
            const std::string_view name = lists[random() % std::size(lists)];
            DropDownList& list = *calc.list(name);
            std::string text;
            switch (random() % 8) {
            case 0:
                text = odd[random() % std::size(odd)];
                break;  // not held, unless added below
            case 1:
                text = odd[random() % std::size(odd)];
                if (!list.holds(text) && name != names::Combobase)
                    list.addItem(text);
                break;
            default:
                text = list.entries()[random() % list.entryCount()];
                break;
            }
            const std::string before = calc.outputLabel().caption();
            SCOPED_TRACE(std::string(name) + " = \"" + text.substr(0, 20) + "\" after \"" + before + "\"");
            try {
                if (calc.selectAsUser(name, text)) {
                    ASSERT_TRUE(isPlainWholeNumber(calc.outputLabel().caption())) << calc.outputLabel().caption();
                    ++completed;
                } else {
                    ASSERT_EQ(calc.outputLabel().caption(), before);
                    ++failed;
                }
            } catch (const RuntimeError& e) {
                ASSERT_EQ(e.number(), ErrorNumber::InvalidPropertyValue);
                ASSERT_EQ(calc.outputLabel().caption(), before);
                ++refused;
            }
        }
    }
    EXPECT_GT(completed, 500);
    EXPECT_GT(refused, 20);
    EXPECT_GT(failed, 5);
}

}  // namespace
}  // namespace wrenfield::form
