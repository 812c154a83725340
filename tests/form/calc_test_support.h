// Helpers shared by the form tests: an observer that counts what the form
// does, and the centile the engine gives for a set of inputs, rounded as the
// form shows it.
#pragma once

#include <cmath>
#include <string>
#include <vector>

#include "engine/centile_model.h"
#include "form/calc.h"
#include "platform/numeric_text.h"

namespace wrenfield::form::testing {

// Counts the runs of the computation (each run that reaches the display
// writes the caption of output_label once) and records every change.
class RecordingObserver : public ControlObserver {
public:
    int outputWrites = 0;
    int ethnicClears = 0;
    std::vector<std::string> events;

    void entryAppended(const DropDownList& list, std::string_view text) override
    {
        events.push_back("append " + std::string(list.name()) + " " + std::string(text));
    }
    void entriesCleared(const DropDownList& list) override
    {
        if (list.name() == names::Comboeth)
            ++ethnicClears;
        events.push_back("clear " + std::string(list.name()));
    }
    void selectionChanged(const DropDownList& list) override
    {
        events.push_back("select " + std::string(list.name()) + " " + list.text());
    }
    void captionChanged(const Label& label) override
    {
        if (label.name() == names::OutputLabel)
            ++outputWrites;
        events.push_back("caption " + std::string(label.name()) + " " + label.caption());
    }
    void textChanged(const TextBox& textBox) override
    {
        events.push_back("text " + std::string(textBox.name()) + " " + textBox.text());
    }
};

// Keeps every error a Calc reports, with the event it escaped from.
struct ErrorLog {
    struct Entry {
        ErrorNumber number;
        std::string event;
        std::string what;
    };
    std::vector<Entry> entries;

    ErrorSink sink()
    {
        return [this](const RuntimeError& error, std::string_view event) {
            entries.push_back({error.number(), std::string(event), error.what()});
        };
    }
};

// The caption the form should show for these inputs: the engine's centile,
// plus one half, rounded down.
inline std::string expectedCaption(engine::Population population, const engine::CentileInputs& inputs)
{
    return wholeNumberText(std::floor(engine::computeCentile(population, inputs).centile + 0.5));
}

// The inputs start-up selects, with the ethnic-group code given.
inline engine::CentileInputs defaultInputs(double eth = 1)
{
    return {.bwt = 3500, .gestDays = 280, .wt = 65, .ht = 165, .sex = 0, .eth = eth, .par = 0};
}

}  // namespace wrenfield::form::testing
