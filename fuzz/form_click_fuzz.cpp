// Sequences of `custcent form --click LIST=TEXT` against the Calc form
// model: any list name, any text, the population list included, and odd
// entries a host may have added to a list.
//
// After every click whose handlers run to their end the caption of
// output_label is a whole number in plain digits; after one that fails (a
// list the form lacks, a text the list does not hold, an error escaping a
// handler) it is unchanged.
#include <fuzzer/FuzzedDataProvider.h>

#include <array>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

#include "form/calc.h"
#include "form/calc_layout.h"
#include "fuzz/fuzz_check.h"

using namespace wrenfield;

namespace {

bool isPlainWholeNumber(std::string_view text)
{
    if (text.empty() || (text.size() > 1 && text[0] == '0'))
        return false;
    for (char c : text)
        if (c < '0' || c > '9')
            return false;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider input(data, size);
    int handlerErrors = 0;
    form::Calc calc([&handlerErrors](const RuntimeError&, std::string_view) { ++handlerErrors; });
    FUZZ_CHECK(calc.startedUp() && handlerErrors == 0, "start-up failed");
    FUZZ_CHECK(isPlainWholeNumber(calc.outputLabel().caption()), "start-up shows no whole number");

    static constexpr std::array<std::string_view, 9> kLists = {
        form::names::Combobase, form::names::Comboht,  form::names::Combowt,
        form::names::Comboeth,  form::names::Combopar, form::names::Combogw,
        form::names::Combogd,   form::names::Combobwt, form::names::Combosex,
    };
    for (int click = 0; click < 32 && input.remaining_bytes() > 0; ++click) {
        // LIST: one of the form's lists, or any name at all.
        std::string list = input.ConsumeIntegralInRange<int>(0, 15) == 0
            ? input.ConsumeRandomLengthString(16)
            : std::string(kLists[input.ConsumeIntegralInRange<std::size_t>(0, kLists.size() - 1)]);
        // TEXT: one of the list's entries, or any text at all.
        std::string text;
        DropDownList* target = calc.list(list);
        if (target && target->entryCount() > 0 && input.ConsumeIntegralInRange<int>(0, 7) != 0) {
            text = target->entries()[input.ConsumeIntegralInRange<std::size_t>(0, target->entryCount() - 1)];
        } else {
            text = input.ConsumeRandomLengthString(24);
            // Sometimes the list holds the odd text: a host added it. The
            // form then reads whatever number it starts with, or none.
            if (target && input.ConsumeIntegralInRange<int>(0, 3) == 0 && !target->holds(text))
                target->addItem(text);
        }

        const std::string before = calc.outputLabel().caption();
        const std::string selectionBefore = target ? target->text() : std::string();
        bool completed = false;
        try {
            completed = calc.selectAsUser(list, text);
        } catch (const std::invalid_argument&) {
            FUZZ_CHECK(!target, "a list of the form was refused by name");
        } catch (const RuntimeError& e) {
            FUZZ_CHECK(e.number() == ErrorNumber::InvalidPropertyValue, "a click raised an unexpected error");
            FUZZ_CHECK(target && !target->holds(text), "a text the list holds was refused");
            FUZZ_CHECK(target->text() == selectionBefore, "a refused text changed the selection");
        }
        if (completed)
            FUZZ_CHECK(isPlainWholeNumber(calc.outputLabel().caption()), "the caption is not a whole number");
        else
            FUZZ_CHECK(calc.outputLabel().caption() == before, "a click that failed changed the caption");
    }
    return 0;
}
