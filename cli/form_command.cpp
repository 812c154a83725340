// custcent form: drives the calculator form as a user would, without a screen,
// and prints what the form shows.
#include <algorithm>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "cli/commands.h"
#include "form/calc.h"
#include "form/calc_layout.h"
#include "platform/numeric_text.h"

namespace wrenfield::cli {

namespace {

struct FormOptions {
    std::vector<std::string> clicks;
    bool json = false;
};

struct Click {
    std::string list;
    std::string text;
};

constexpr std::string_view kCommand = "custcent form";

std::string listNames()
{
    std::string names;
    for (const ControlDescription& d : form::calcLayout())
        if (d.kind == ControlKind::DropDownList)
            names += (names.empty() ? "" : ", ") + std::string(d.name);
    return names;
}

Click parseClick(const std::string& argument)
{
    const std::size_t equals = argument.find('=');
    if (equals == std::string::npos || equals == 0) {
        std::cerr << kCommand << ": --click " << argument << ": expected LIST=TEXT, e.g. Combobwt=3000\n";
        throw CommandExit{2};
    }
    return {argument.substr(0, equals), argument.substr(equals + 1)};
}

// Where a control lies on the form, from the form's top left corner.
std::pair<int, int> placeOnForm(const ControlDescription& d)
{
    int top = d.top, left = d.left;
    if (!d.parent.empty())
        if (const ControlDescription* frame = form::findInCalcLayout(d.parent)) {
            top += frame->top;
            left += frame->left;
        }
    return {top, left};
}

// The text a label names: a list's selected entry or another label's caption.
std::string namedText(const form::Calc& calc, std::string_view name)
{
    if (const DropDownList* list = calc.list(name))
        return list->text();
    if (const Label* label = calc.label(name))
        return label->caption();
    return {};
}

// Each visible label that names a control, in reading order (rows from the
// top, left to right in a row), with what that control shows. The result line
// reads "Customised centile = N" as on the form.
std::string formText(const form::Calc& calc)
{
    std::vector<const ControlDescription*> labels;
    for (const ControlDescription& d : form::calcLayout())
        if (d.kind == ControlKind::Label && d.visible && !d.labelFor.empty())
            labels.push_back(&d);
    std::stable_sort(labels.begin(), labels.end(), [](const ControlDescription* a, const ControlDescription* b) {
        return placeOnForm(*a) < placeOnForm(*b);
    });

    std::size_t width = 0;
    for (const ControlDescription* d : labels)
        if (calc.list(d->labelFor))
            width = std::max(width, calc.label(d->name)->caption().size());

    std::string text;
    for (const ControlDescription* d : labels) {
        const std::string& caption = calc.label(d->name)->caption();
        text += caption;
        if (calc.list(d->labelFor))
            text += std::string(width - std::min(width, caption.size()) + 2, ' ');
        else
            text += ' ';
        text += namedText(calc, d->labelFor);
        text += '\n';
    }
    return text;
}

// A text as a JSON string, quotes included (a byte that is not UTF-8, which a
// host's list entry may hold, as U+FFFD).
std::string jsonString(std::string_view text)
{
    return nlohmann::json(std::string(text)).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

// Every control's state, in the order the form stores them, and the members.
std::string formJson(const form::Calc& calc)
{
    std::string json = "{\n  \"controls\": [";
    bool first = true;
    for (const auto& control : calc.controls()) {
        json += first ? "\n" : ",\n";
        first = false;
        json += "    {\"name\": " + jsonString(control->name()) +
            ", \"kind\": " + jsonString(controlKindName(control->kind())) +
            ", \"visible\": " + (control->visible() ? "true" : "false");
        if (const DropDownList* list = calc.list(control->name())) {
            json += ", \"selected\": ";
            json += list->selectedIndex() ? jsonString(list->text()) : "null";
            json += ", \"entries\": [";
            for (std::size_t i = 0; i < list->entryCount(); ++i)
                json += (i ? ", " : "") + jsonString(list->entries()[i]);
            json += "]";
        } else if (const Label* label = calc.label(control->name())) {
            json += ", \"caption\": " + jsonString(label->caption());
        } else if (const TextBox* box = calc.textBox(control->name())) {
            json += ", \"text\": " + jsonString(box->text());
        } else if (const Frame* frame = calc.frame(control->name())) {
            json += ", \"caption\": " + jsonString(frame->caption());
        }
        json += "}";
    }
    json += "\n  ],\n  \"members\": {";
    json += "\"formBwt\": " + shortestText(calc.formBwt());
    json += ", \"formGest\": " + shortestText(calc.formGest());
    json += ", \"formWt\": " + shortestText(calc.formWt());
    json += ", \"formHt\": " + shortestText(calc.formHt());
    json += ", \"formSex\": " + std::to_string(calc.formSex());
    json += ", \"formEth\": " + std::to_string(calc.formEth());
    json += ", \"formPar\": " + std::to_string(calc.formPar());
    json += ", \"versionText\": " + jsonString(calc.versionText().text());
    json += ", \"defaultBase\": " + jsonString(calc.defaultBase().text());
    json += "}\n}\n";
    return json;
}

void runForm(const FormOptions& options)
{
    std::vector<Click> clicks;
    for (const std::string& argument : options.clicks)
        clicks.push_back(parseClick(argument));

    // An error escaping start-up or a handler is reported here, once, and
    // makes the command fail after the form is shown.
    int handlerErrors = 0;
    form::Calc calc([&handlerErrors](const RuntimeError& error, std::string_view event) {
        ++handlerErrors;
        std::cerr << kCommand << ": " << event << ": run-time error " << error.code() << ": " << error.what() << "\n";
    });

    for (const Click& click : clicks) {
        DropDownList* list = calc.list(click.list);
        if (!list) {
            std::cerr << kCommand << ": the form has no list named \"" << click.list << "\" (lists: " << listNames()
                      << ")\n";
            throw CommandExit{2};
        }
        if (!list->holds(click.text)) {
            std::cerr << kCommand << ": list " << click.list << " holds no entry \"" << click.text << "\"";
            if (list->entryCount() > 0)
                std::cerr << " (its " << list->entryCount() << " entries run from \"" << list->entries().front()
                          << "\" to \"" << list->entries().back() << "\")";
            std::cerr << "\n";
            throw CommandExit{2};
        }
        calc.selectAsUser(*list, click.text);
    }

    std::cout << (options.json ? formJson(calc) : formText(calc)) << std::flush;
    if (handlerErrors > 0)
        throw CommandExit{1};
}

}  // namespace

void addFormCommand(CLI::App& app)
{
    auto options = std::make_shared<FormOptions>();
    CLI::App* command = app.add_subcommand(
        "form", "Create the calculator form, pick entries in its lists as a user would, and print what it shows.");
    command
        ->add_option("--click", options->clicks,
                     "Select TEXT in the list LIST and raise its Click event, as a user's pick does; repeat for "
                     "several, applied in order. Lists: " +
                         listNames() +
                         " (Combobase, the population list, is hidden on screen; clicking it refills the "
                         "ethnic groups for that population).")
        ->type_name("LIST=TEXT")
        ->allow_extra_args(false);
    command->add_flag("--json", options->json,
                      "Print every control's state (kind, visibility, entries and selection, caption or text) and "
                      "the members formBwt, formGest, formWt, formHt, formSex, formEth, formPar, versionText and "
                      "defaultBase as one JSON object.");
    command->footer("Example: custcent form --click Combobwt=2900 --click \"Comboeth=Far East Asian\"\n"
                    "Exit status: 0 shown; 1 an error escaped the form's start-up or a Click handler (the form is "
                    "still shown); 2 an unknown list, a text the list does not hold, or an unusable option.");
    command->callback([options] { runForm(*options); });
}

}  // namespace wrenfield::cli
