// The standard controls: list behaviour, events, observers, and the user
// control's dispatch of errors.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "form/controls.h"

namespace wrenfield {
namespace {

ControlDescription describe(std::string_view name, ControlKind kind, std::string_view initial = "",
                            std::string_view parent = "")
{
    return {name,
            kind,
            initial,
            0,
            0,
            100,
            100,
            0,
            true,
            Colour::rgb(0, 0, 0),
            Colour::rgb(255, 255, 255),
            Alignment::Left,
            parent,
            "",
            ""};
}

const ControlDescription kList = describe("List1", ControlKind::DropDownList);

class Log : public ControlObserver {
public:
    std::vector<std::string> events;
    void entryAppended(const DropDownList& l, std::string_view t) override
    {
        events.push_back(std::string(l.name()) + " append " + std::string(t));
    }
    void entriesCleared(const DropDownList& l) override { events.push_back(std::string(l.name()) + " clear"); }
    void selectionChanged(const DropDownList& l) override
    {
        events.push_back(std::string(l.name()) + " select " + l.text());
    }
    void captionChanged(const Label& l) override
    {
        events.push_back(std::string(l.name()) + " caption " + l.caption());
    }
    void textChanged(const TextBox& t) override { events.push_back(std::string(t.name()) + " text " + t.text()); }
};

TEST(DropDownList, KeepsTheOrderOfAppendingAndSelectsByExactText)
{
    DropDownList list(kList);
    EXPECT_EQ(list.text(), "");
    for (std::string_view text : {"b", "a", "Male", "c"})
        list.addItem(text);
    EXPECT_EQ(list.entries(), (std::vector<std::string>{"b", "a", "Male", "c"}));
    EXPECT_FALSE(list.selectedIndex());

    list.setText("Male");
    EXPECT_EQ(list.text(), "Male");
    EXPECT_EQ(list.selectedIndex(), 2u);
    for (std::string_view wrong : {"male", "Male ", " Male", "Mal", ""}) {
        SCOPED_TRACE(std::string(wrong));
        try {
            list.setText(wrong);
            ADD_FAILURE() << "no error";
        } catch (const RuntimeError& error) {
            EXPECT_EQ(error.number(), ErrorNumber::InvalidPropertyValue);
            EXPECT_NE(error.context().find("List1"), std::string::npos);
        }
        EXPECT_EQ(list.text(), "Male");  // the selection stays
    }
}

TEST(DropDownList, ClearRemovesEntriesAndSelection)
{
    DropDownList list(kList);
    list.addItem("x");
    list.setText("x");
    list.clear();
    EXPECT_EQ(list.entryCount(), 0u);
    EXPECT_EQ(list.text(), "");
    EXPECT_FALSE(list.selectedIndex());
    EXPECT_THROW(list.setText("x"), RuntimeError);
}

TEST(DropDownList, ClickRunsEveryHandlerInOrderAndPassesErrorsOn)
{
    DropDownList list(kList);
    std::vector<int> ran;
    list.bindClick([&] { ran.push_back(1); });
    list.bindClick([&] { ran.push_back(2); });
    list.raiseClick();
    list.raiseClick();
    EXPECT_EQ(ran, (std::vector<int>{1, 2, 1, 2}));
    // Writing the text from code raises nothing.
    list.addItem("x");
    list.setText("x");
    EXPECT_EQ(ran.size(), 4u);

    list.bindClick([] { raise(ErrorNumber::Overflow); });
    list.bindClick([&] { ran.push_back(4); });
    EXPECT_THROW(list.raiseClick(), RuntimeError);
    EXPECT_EQ(ran, (std::vector<int>{1, 2, 1, 2, 1, 2}));  // the handler after the failing one did not run
}

const ControlDescription kForm[] = {
    describe("List1", ControlKind::DropDownList),
    describe("Frame1", ControlKind::Frame),
    describe("Label1", ControlKind::Label, "Label1", "Frame1"),
    describe("Text1", ControlKind::TextBox, "Text1"),
};

TEST(UserControl, FindsControlsByNameAndKind)
{
    UserControl form(kForm, {});
    EXPECT_EQ(form.label("Label1")->caption(), "Label1");
    EXPECT_EQ(form.textBox("Text1")->text(), "Text1");
    EXPECT_EQ(form.frame("Frame1")->caption(), "");
    EXPECT_EQ(form.controls().size(), 4u);
    EXPECT_NE(form.list("List1"), nullptr);
    EXPECT_EQ(form.label("List1"), nullptr);
    EXPECT_NE(form.label("Label1"), nullptr);
    EXPECT_NE(form.textBox("Text1"), nullptr);
    EXPECT_NE(form.frame("Frame1"), nullptr);
    EXPECT_EQ(form.control("list1"), nullptr);
}

TEST(UserControl, RejectsATableWithRepeatedNamesOrAMissingFrame)
{
    const ControlDescription repeated[] = {describe("A", ControlKind::Label), describe("A", ControlKind::Label)};
    EXPECT_THROW(UserControl(repeated, {}), std::invalid_argument);
    const ControlDescription orphan[] = {describe("A", ControlKind::Label, "", "Frame9")};
    EXPECT_THROW(UserControl(orphan, {}), std::invalid_argument);
    const ControlDescription notAFrame[] = {describe("B", ControlKind::Label),
                                            describe("A", ControlKind::Label, "", "B")};
    EXPECT_THROW(UserControl(notAFrame, {}), std::invalid_argument);
}

TEST(UserControl, EveryObserverHearsEveryChangeUntilRemoved)
{
    UserControl form(kForm, {});
    Log first, second;
    form.addObserver(first);
    form.addObserver(second);
    form.addObserver(first);  // no effect
    form.list("List1")->addItem("a");
    form.list("List1")->setText("a");
    form.removeObserver(second);
    form.list("List1")->clear();
    form.label("Label1")->setCaption("x");
    form.label("Label1")->setCaption("x");
    form.textBox("Text1")->setText("y");
    EXPECT_EQ(first.events,
              (std::vector<std::string>{"List1 append a", "List1 select a", "List1 clear", "Label1 caption x",
                                        "Label1 caption x", "Text1 text y"}));
    EXPECT_EQ(second.events, (std::vector<std::string>{"List1 append a", "List1 select a"}));
}

TEST(UserControl, AnObserverRemovedWhileOthersAreToldIsNotToldAgain)
{
    UserControl form(kForm, {});
    Log later;
    struct Remover : ControlObserver {
        UserControl* form;
        ControlObserver* victim;
        void captionChanged(const Label&) override { form->removeObserver(*victim); }
    } remover;
    remover.form = &form;
    remover.victim = &later;
    form.addObserver(remover);
    form.addObserver(later);
    form.label("Label1")->setCaption("x");
    EXPECT_TRUE(later.events.empty());
}

TEST(UserControl, DispatchSendsEscapingErrorsToTheSink)
{
    std::vector<std::string> reported;
    UserControl form(kForm, [&](const RuntimeError& error, std::string_view event) {
        reported.push_back(std::string(event) + " " + std::to_string(error.code()));
    });
    DropDownList& list = *form.list("List1");
    list.addItem("a");
    list.addItem("b");
    int clicks = 0;
    list.bindClick([&] {
        ++clicks;
        if (list.text() == "b")
            raise(ErrorNumber::DivisionByZero);
    });

    EXPECT_TRUE(form.selectAsUser(list, "a"));
    EXPECT_FALSE(form.selectAsUser(list, "b"));
    EXPECT_EQ(reported, (std::vector<std::string>{"List1 Click 11"}));
    EXPECT_EQ(clicks, 2);

    // A text the list does not hold fails before any event.
    EXPECT_THROW(form.selectAsUser(list, "c"), RuntimeError);
    EXPECT_EQ(clicks, 2);
    EXPECT_EQ(list.text(), "b");

    // Without a sink the error is dropped, still not thrown.
    form.setErrorSink({});
    EXPECT_FALSE(form.raiseClick(list));
    EXPECT_EQ(reported.size(), 1u);
}

}  // namespace
}  // namespace wrenfield
