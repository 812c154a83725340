#include "form/calc.h"

#include <array>
#include <cmath>
#include <stdexcept>
#include <string>

#include "engine/checked_arithmetic.h"
#include "engine/coefficient_set.h"
#include "engine/population_methods.h"
#include "form/calc_interface.h"
#include "form/population_lists.h"
#include "platform/numeric_text.h"

namespace wrenfield::form {

namespace {

namespace checked = engine::checked;
using engine::Population;

// The last entry of the birthweight list, and the weight it stands for.
constexpr std::string_view kOverTopBirthweight = "Over 5000";
constexpr double kOverTopBirthweightGrams = 5500;

// The parity list; the first four entries are the codes 0 to 3, and any other
// text ("4 or more" included) is code 4.
constexpr std::array<std::string_view, 5> kParityEntries = {"0", "1", "2", "3", "4 or more"};
constexpr std::int16_t kParityFourOrMore = 4;

constexpr std::string_view kMale = "Male";
constexpr std::string_view kFemale = "Female";

// The population the form computes for: set at start-up, never changed.
constexpr Population kDefaultPopulation = Population::UnitedKingdom;

template <typename T> T& require(T* control, std::string_view name)
{
    if (!control)
        throw std::logic_error("the Calc form has no control " + std::string(name) + " of the expected kind");
    return *control;
}

// Appends whole numbers from `first` to `last` by `step`, counting in a 16-bit
// integer as the control's own code does: compare, append, then step (a step
// past 32767 is an overflow).
void countedFill(DropDownList& list, std::int16_t first, std::int16_t last, std::int16_t step)
{
    for (std::int16_t counter = first; counter <= last; counter = toInt16(double(counter) + double(step)))
        list.addItem(wholeNumberText(counter));
}

std::int16_t parityCode(std::string_view text)
{
    for (std::int16_t code = 0; code < kParityFourOrMore; ++code)
        if (text == kParityEntries[code])
            return code;
    return kParityFourOrMore;
}

double birthweightGrams(const std::string& text)
{
    return text == kOverTopBirthweight ? kOverTopBirthweightGrams : leadingNumberValue(text);
}

double gestationDays(const std::string& weeksText, const std::string& daysText)
{
    const double days = leadingNumberValue(daysText);
    const double weeks = leadingNumberValue(weeksText);
    return checked::add(checked::mul(weeks, 7), days);
}

}  // namespace

ErrorSink defaultCalcErrorSink()
{
    return errorLineOnStderr("Calc");
}

Calc::Calc(ErrorSink errorSink, ControlObserver* startupObserver)
    : UserControl(calcLayout(), std::move(errorSink))
    , combobase_(&require(list(names::Combobase), names::Combobase))
    , combobwt_(&require(list(names::Combobwt), names::Combobwt))
    , combogd_(&require(list(names::Combogd), names::Combogd))
    , combogw_(&require(list(names::Combogw), names::Combogw))
    , combowt_(&require(list(names::Combowt), names::Combowt))
    , comboht_(&require(list(names::Comboht), names::Comboht))
    , combopar_(&require(list(names::Combopar), names::Combopar))
    , comboeth_(&require(list(names::Comboeth), names::Comboeth))
    , combosex_(&require(list(names::Combosex), names::Combosex))
    , outputLabel_(&require(label(names::OutputLabel), names::OutputLabel))
    , text1_(&require(textBox(names::Text1), names::Text1))
    , label11_(&require(label(names::Label11), names::Label11))
    , label12_(&require(label(names::Label12), names::Label12))
{
    // The form's event bindings: each input list recomputes, the population
    // list switches the population.
    for (std::string_view name : kInputLists)
        require(list(name), name).bindClick([this] { inputClick(); });
    combobase_->bindClick([this] { populationSwitch(); });

    if (startupObserver)
        addObserver(*startupObserver);
    startedUp_ = dispatch("Initialize", [this] { startUp(); });
}

bool Calc::selectAsUser(std::string_view listName, std::string_view text)
{
    DropDownList* target = list(listName);
    if (!target)
        throw std::invalid_argument("the form has no list named " + std::string(listName));
    return selectAsUser(*target, text);
}

// --- Start-up ----------------------------------------------------------------

void Calc::startUp()
{
    countedFill(*comboht_, 140, 200, 1);
    countedFill(*combowt_, 30, 150, 1);
    countedFill(*combogw_, 20, 44, 1);
    countedFill(*combogd_, 0, 6, 1);
    countedFill(*combobwt_, 400, 5000, 50);
    combobwt_->addItem(kOverTopBirthweight);

    // Until the population switch below refills it, the ethnic-group list holds
    // the United Kingdom groups in code order, so "European" can be selected.
    for (const engine::EthnicGroup& group : engine::coefficients(Population::UnitedKingdom).ethnicGroups)
        comboeth_->addItem(group.name);

    for (std::string_view entry : kParityEntries)
        combopar_->addItem(entry);
    combosex_->addItem(kMale);
    combosex_->addItem(kFemale);

    comboht_->setText("165");
    combowt_->setText("65");
    combogw_->setText("40");
    combogd_->setText("0");
    combobwt_->setText("3500");
    combosex_->setText(kFemale);
    comboeth_->setText(ethnicDefaultName(ethnicList(Population::UnitedKingdom)));
    combopar_->setText(kParityEntries[0]);

    for (Population population : populationListOrder())
        combobase_->addItem(engine::coefficients(population).name);

    versionText_ = Variant(kVersionText);
    defaultBase_ = Variant(engine::coefficients(kDefaultPopulation).name);

    // The population is selected from the text box, not from defaultBase.
    text1_->setText(defaultBase_.text());
    combobase_->setText(text1_->text());
    label11_->setCaption(versionText_.text());
    label12_->setCaption(defaultBase_.text());

    populationSwitch();
    updateresult();
}

// --- Population switch -----------------------------------------------------------

void Calc::populationSwitch()
{
    const std::optional<Population> population = engine::populationByName(combobase_->text());
    if (!population)
        return;  // no population selected: the ethnic-group list stays as it is

    const EthnicList& groups = ethnicList(*population);
    comboeth_->clear();
    for (std::size_t i = 0; i < groups.entryCodes.size(); ++i)
        comboeth_->addItem(ethnicEntryName(groups, i));
    comboeth_->setText(ethnicDefaultName(groups));
    updateresult();
}

// --- Change handlers ----------------------------------------------------------------

void Calc::inputClick()
{
    // Whatever entry was picked, recompute from the current text of every list.
    updateresult();
}

// --- The computation ------------------------------------------------------------------

void Calc::updateresult()
{
    formBwt_ = birthweightGrams(combobwt_->text());
    formGest_ = gestationDays(combogw_->text(), combogd_->text());

    formWt_ = leadingNumberValue(combowt_->text());
    formHt_ = leadingNumberValue(comboht_->text());
    formSex_ = combosex_->text() == kMale ? 1 : 0;

    // Under a name that is none of the five, the ethnic-group list is not read
    // and formEth keeps its value; no method runs below either.
    if (std::optional<Population> population = engine::populationByName(combobase_->text()))
        formEth_ = ethnicCodeForText(ethnicList(*population), comboeth_->text());

    formPar_ = parityCode(combopar_->text());

    const std::optional<Population> population = engine::populationByName(combobase_->text());
    if (!population)
        return;  // the caption keeps its text

    // The method receives references to the members, so its write-backs
    // (weeks into gest, Sweden's centred height into ht) land in them.
    std::array<Variant, 7> args = {Variant::refTo(formBwt_), Variant::refTo(formGest_), Variant::refTo(formWt_),
                                   Variant::refTo(formHt_),  Variant::refTo(formSex_),  Variant::refTo(formEth_),
                                   Variant::refTo(formPar_)};
    const Variant result = callCalcMethod(*this, calcMethodFor(*population), args);

    const double rounded = checked::roundHalfUp(result.number());
    outputLabel_->setCaption(wholeNumberText(rounded));
}

std::optional<Calc::ListInputs> Calc::listInputs() const
{
    const std::optional<Population> population = engine::populationByName(combobase_->text());
    if (!population)
        return std::nullopt;
    engine::CentileInputs inputs;
    inputs.bwt = birthweightGrams(combobwt_->text());
    inputs.gestDays = gestationDays(combogw_->text(), combogd_->text());
    inputs.wt = leadingNumberValue(combowt_->text());
    inputs.ht = leadingNumberValue(comboht_->text());
    inputs.sex = combosex_->text() == kMale ? 1 : 0;
    inputs.eth = ethnicCodeForText(ethnicList(*population), comboeth_->text());
    inputs.par = parityCode(combopar_->text());
    return ListInputs{*population, inputs};
}

// --- The population methods of `_Calc` ----------------------------------------------

Variant Calc::custcentukn(Variant& bwt, Variant& gest, Variant& wt, Variant& ht, Variant& sex, Variant& eth,
                          Variant& par)
{
    return engine::custcentukn(bwt, gest, wt, ht, sex, eth, par);
}

Variant Calc::custcentus(Variant& bwt, Variant& gest, Variant& wt, Variant& ht, Variant& sex, Variant& eth,
                         Variant& par)
{
    return engine::custcentus(bwt, gest, wt, ht, sex, eth, par);
}

Variant Calc::custcentswe(Variant& bwt, Variant& gest, Variant& wt, Variant& ht, Variant& sex, Variant& eth,
                          Variant& par)
{
    return engine::custcentswe(bwt, gest, wt, ht, sex, eth, par);
}

Variant Calc::custcentnz(Variant& bwt, Variant& gest, Variant& wt, Variant& ht, Variant& sex, Variant& eth,
                         Variant& par)
{
    return engine::custcentnz(bwt, gest, wt, ht, sex, eth, par);
}

Variant Calc::custcentau(Variant& bwt, Variant& gest, Variant& wt, Variant& ht, Variant& sex, Variant& eth,
                         Variant& par)
{
    return engine::custcentau(bwt, gest, wt, ht, sex, eth, par);
}

}  // namespace wrenfield::form
