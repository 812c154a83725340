// How one drop-down list of the form looks and behaves on screen: a closed
// list shows the selected entry in a flat field of the list's own colour; its
// popup is wide enough for the longest entry. The user can only pick an entry
// (no typing of text). What the user picks is reported by QComboBox's
// `activated` signal, which fires for every pick by mouse or keyboard, also of
// the entry already selected, and never for a change made by the program.
#pragma once

#include <QComboBox>

namespace wrenfield::ui {

class DropDownListWidget : public QComboBox {
    Q_OBJECT
public:
    explicit DropDownListWidget(QWidget* parent = nullptr);

    void showPopup() override;

protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace wrenfield::ui
