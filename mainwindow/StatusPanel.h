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

    // A note that stays in the panel, set apart in colour, until it is
    // released, whatever showText() brings meanwhile; the last such text
    // comes back on release. Holding a new note replaces the old one.
    void holdNote(const QString& note);
    void releaseNote();
    bool holdsNote() const { return holding_; }

public slots:
    // The panel's ordinary text: shown at once, or kept behind a held note.
    void showText(const QString& text);

protected:
    bool event(QEvent* event) override;

private:
    bool holding_ = false;
    QString behindNote_;  // the ordinary text while a note is held
};

}  // namespace tallowby
