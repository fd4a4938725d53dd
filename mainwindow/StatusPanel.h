#pragma once

#include <QLabel>

namespace tallowby {

// One text panel of the status bar. Texts longer than the panel are cut at
// its edge; hovering such a panel shows the whole text as its tool tip.
class StatusPanel : public QLabel {
    Q_OBJECT
public:
    explicit StatusPanel(QWidget* parent = nullptr);

    // Whether the text is wider than the room the panel gives it.
    bool isCut() const;

protected:
    bool event(QEvent* event) override;
};

}  // namespace tallowby
