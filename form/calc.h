// The Calc control as a form model: its controls, its members, start-up, the
// population switch, the computation `updateresult` and the change handlers,
// and its five public population methods. It runs without any widget toolkit:
// the on-screen control, the component shell and the command line all drive
// this same model.
//
// Everything runs on the thread that created the instance, one event at a
// time. Instances share nothing.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "engine/centile_model.h"
#include "engine/coefficient_set.h"
#include "form/calc_layout.h"
#include "form/controls.h"
#include "platform/runtime_error.h"
#include "platform/variant.h"

namespace wrenfield::form {

// The control's version text, shown (hidden) in Label11.
inline constexpr std::string_view kVersionText = "5.15_UK";

// The error sink a Calc uses unless the host sets another: one line on
// standard error per error that escapes start-up or a handler.
ErrorSink defaultCalcErrorSink();

class Calc : public UserControl {
public:
    // Creates the controls of the form (calcLayout(), with their design-time
    // captions and empty lists), binds the Click handlers and then raises the
    // Initialize event, whose handler is start-up: it fills every list,
    // selects the defaults, sets "5.15_UK" and "United Kingdom", runs the
    // population switch and then `updateresult`, so the new control already
    // shows the centile of the default inputs.
    //
    // `startupObserver`, if given, is added before start-up runs, so it sees
    // every fill; it may be removed later like any observer.
    //
    // An error in start-up ends it at the failing step and goes to the error
    // sink, as any error escaping an event handler does; the constructor does
    // not throw it. The form then stays as that step left it, and startedUp()
    // is false.
    explicit Calc(ErrorSink errorSink = defaultCalcErrorSink(), ControlObserver* startupObserver = nullptr);

    // Whether start-up ran to its end.
    bool startedUp() const noexcept { return startedUp_; }

    // --- The controls, by kind. control(name), list(name) and label(name) of
    // UserControl find any of them by name.
    DropDownList& combobase() noexcept { return *combobase_; }
    DropDownList& combobwt() noexcept { return *combobwt_; }
    DropDownList& combogd() noexcept { return *combogd_; }
    DropDownList& combogw() noexcept { return *combogw_; }
    DropDownList& combowt() noexcept { return *combowt_; }
    DropDownList& comboht() noexcept { return *comboht_; }
    DropDownList& combopar() noexcept { return *combopar_; }
    DropDownList& comboeth() noexcept { return *comboeth_; }
    DropDownList& combosex() noexcept { return *combosex_; }
    Label& outputLabel() noexcept { return *outputLabel_; }
    TextBox& text1() noexcept { return *text1_; }
    Label& label11() noexcept { return *label11_; }
    Label& label12() noexcept { return *label12_; }
    const DropDownList& combobase() const noexcept { return *combobase_; }
    const DropDownList& combobwt() const noexcept { return *combobwt_; }
    const DropDownList& combogd() const noexcept { return *combogd_; }
    const DropDownList& combogw() const noexcept { return *combogw_; }
    const DropDownList& combowt() const noexcept { return *combowt_; }
    const DropDownList& comboht() const noexcept { return *comboht_; }
    const DropDownList& combopar() const noexcept { return *combopar_; }
    const DropDownList& comboeth() const noexcept { return *comboeth_; }
    const DropDownList& combosex() const noexcept { return *combosex_; }
    const Label& outputLabel() const noexcept { return *outputLabel_; }
    const TextBox& text1() const noexcept { return *text1_; }
    const Label& label11() const noexcept { return *label11_; }
    const Label& label12() const noexcept { return *label12_; }

    // --- A user's selection: write the list's text, then raise its Click
    // (the input lists recompute; Combobase runs the population switch).
    // Errors of the handlers go to the error sink; the result says whether
    // the handlers ran to their end. A text the list does not hold throws
    // RuntimeError InvalidPropertyValue naming the list and the text, and
    // raises nothing. The by-name form throws std::invalid_argument when the
    // form has no list of that name.
    using UserControl::selectAsUser;
    bool selectAsUser(std::string_view listName, std::string_view text);

    // --- The five population methods of the default interface `_Calc`, in
    // slot order. Seven by-reference arguments and the centile in percent
    // (unrounded), or the zero-length text when an input is missing. Each
    // writes the gestation in weeks back into `gest`; the Sweden method also
    // writes the centred height back into `ht`. Throws RuntimeError for a
    // non-numeric text, a null or a floating-point fault. They read and write
    // nothing of the form.
    Variant custcentukn(Variant& bwt, Variant& gest, Variant& wt, Variant& ht, Variant& sex, Variant& eth,
                        Variant& par);
    Variant custcentus(Variant& bwt, Variant& gest, Variant& wt, Variant& ht, Variant& sex, Variant& eth, Variant& par);
    Variant custcentswe(Variant& bwt, Variant& gest, Variant& wt, Variant& ht, Variant& sex, Variant& eth,
                        Variant& par);
    Variant custcentnz(Variant& bwt, Variant& gest, Variant& wt, Variant& ht, Variant& sex, Variant& eth, Variant& par);
    Variant custcentau(Variant& bwt, Variant& gest, Variant& wt, Variant& ht, Variant& sex, Variant& eth, Variant& par);

    // --- The members. The seven inputs of the last computation, as the
    // population method left them (so formGest holds weeks after a run, and
    // formHt the centred height after a Sweden run); all 0 at creation.
    double formBwt() const noexcept { return formBwt_; }
    double formGest() const noexcept { return formGest_; }
    double formWt() const noexcept { return formWt_; }
    double formHt() const noexcept { return formHt_; }
    std::int16_t formSex() const noexcept { return formSex_; }
    std::int16_t formEth() const noexcept { return formEth_; }
    std::int16_t formPar() const noexcept { return formPar_; }
    // The inputs the lists hold now, read as the computation reads them, in
    // the units a person gives them (the gestation in days, weeks × 7 + days;
    // the height uncentred), with the population selected: what a chart of
    // the shown centile needs. Nothing when the population list holds none of
    // the five names (the computation does not run then either). Throws
    // RuntimeError where the computation's reading would (an overflow).
    struct ListInputs {
        engine::Population population;
        engine::CentileInputs inputs;
    };
    std::optional<ListInputs> listInputs() const;

    // Set by start-up: "5.15_UK" and "United Kingdom" (empty before).
    const Variant& versionText() const noexcept { return versionText_; }
    const Variant& defaultBase() const noexcept { return defaultBase_; }

private:
    // Handlers: Initialize, Combobase Click, and the Click of each input list.
    void startUp();
    void populationSwitch();
    void inputClick();
    // The one computation: inputs from the lists into the members, the
    // population method through `_Calc`, the rounded centile into output_label.
    void updateresult();

    DropDownList* combobase_;
    DropDownList* combobwt_;
    DropDownList* combogd_;
    DropDownList* combogw_;
    DropDownList* combowt_;
    DropDownList* comboht_;
    DropDownList* combopar_;
    DropDownList* comboeth_;
    DropDownList* combosex_;
    Label* outputLabel_;
    TextBox* text1_;
    Label* label11_;
    Label* label12_;

    double formBwt_ = 0;
    double formGest_ = 0;
    double formWt_ = 0;
    double formHt_ = 0;
    std::int16_t formSex_ = 0;
    std::int16_t formEth_ = 0;
    std::int16_t formPar_ = 0;
    Variant versionText_;
    Variant defaultBase_;

    bool startedUp_ = false;
};

}  // namespace wrenfield::form
